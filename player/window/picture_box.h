#pragma once
// A picture box: a plain area with a background colour and, optionally, an image drawn at
// its top-left corner at its own size. A click with the left button raises clicked().
#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace zenvira::player {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(const QString& name, const QColor& background, QWidget* parent);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor background_;
    QPixmap picture_;
    bool pressed_ = false;
};

}  // namespace zenvira::player
