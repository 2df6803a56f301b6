#pragma once
// STBar: a status bar of two sunken text panels, numbered from 1. Panel 1 has a fixed width,
// panel 2 takes the rest. A click (press and release on the same panel) reports its number.
#include <QFrame>
#include <array>

class QLabel;

namespace zenvira::window {

class StatusPanels : public QFrame {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 2;

    explicit StatusPanels(QWidget* parent = nullptr);

    void setPanel1Width(int pixels);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    void setPanelToolTip(int panel, const QString& toolTip);
    QLabel* panel(int panel) const;  // nullptr for a number other than 1 or 2

signals:
    void PanelClick(int panel);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int panelAt(const QPoint& pos) const;  // 0 outside every panel
    void layoutPanels();

    std::array<QLabel*, kPanelCount> panels_{};
    int panel1Width_ = 0;
    int pressedPanel_ = 0;
};

}  // namespace zenvira::window
