#pragma once
// ProgressBar1: a progress bar that shows a text of the workflow's choosing ("37.5 %") on the
// bar instead of Qt's own percentage. The text stays until it is set again.
#include <QProgressBar>

namespace zenvira::window {

class TextProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TextProgressBar(QWidget* parent = nullptr);

    // Max and Value as the workflow gives them. A Max of 0 or less would turn Qt's bar into a
    // busy indicator; such a bar shows full when Value has reached Max, else empty.
    void setMaxAndValue(int max, int value);
    // While a download's size is unknown: Qt's busy indicator, no text.
    void setBusy();
    void setOverlayText(const QString& text);

    QString text() const override;

private:
    QString overlay_;
};

}  // namespace zenvira::window
