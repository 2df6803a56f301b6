#include "player/window/picture_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace zenvira::player {

PictureBox::PictureBox(const QString& name, const QColor& background, QWidget* parent)
    : QWidget(parent), background_(background) {
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    setCursor(picture.isNull() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QWidget::mouseReleaseEvent(event);
    if (click) emit clicked();
}

}  // namespace zenvira::player
