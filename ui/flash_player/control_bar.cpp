#include "ui/flash_player/control_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "ui/flash_player/control_bar_layout.h"
#include "ui/flash_player/time_text.h"

namespace zenvira::components {
namespace {

const QColor kBarBackground(24, 24, 24);
const QColor kTrack(70, 70, 70);
const QColor kProgress(220, 220, 220);
const QColor kVolume(150, 190, 230);
const QColor kText(230, 230, 230);

}  // namespace

ControlBar::ControlBar(QWidget* parent) : QWidget(parent) {
    setObjectName("controlBar");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void ControlBar::setPaused(bool paused) {
    paused_ = paused;
    update();
}

void ControlBar::setPosition(double seconds) {
    position_ = seconds;
    update();
}

void ControlBar::setDuration(double seconds) {
    duration_ = seconds;
    update();
}

void ControlBar::setVolume(int percent) {
    volume_ = percent;
    update();
}

void ControlBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), kBarBackground);
    const ControlBarLayout layout = controlBarLayout(width(), height());
    paintPlayButton(painter, layout.playButton);
    const bool known = duration_ > 0 && std::isfinite(duration_);
    if (!layout.seekBar.isEmpty()) paintBar(painter, layout.seekBar, known ? position_ / duration_ : 0, kProgress);
    paintBar(painter, layout.volumeBar, volume_ / 100.0, kVolume);
    painter.setPen(kText);
    painter.drawText(layout.timeText, Qt::AlignCenter, QString::fromStdString(positionText(position_, duration_)));
}

void ControlBar::paintPlayButton(QPainter& painter, const QRect& area) const {
    const QRectF icon = QRectF(area).adjusted(area.width() * 0.3, area.height() * 0.25, -area.width() * 0.3,
                                              -area.height() * 0.25);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kText);
    if (paused_) {  // show what a click does: play
        QPainterPath triangle;
        triangle.moveTo(icon.topLeft());
        triangle.lineTo(icon.right(), icon.center().y());
        triangle.lineTo(icon.bottomLeft());
        triangle.closeSubpath();
        painter.drawPath(triangle);
    } else {
        const double bar = icon.width() / 3;
        painter.drawRect(QRectF(icon.left(), icon.top(), bar, icon.height()));
        painter.drawRect(QRectF(icon.right() - bar, icon.top(), bar, icon.height()));
    }
}

void ControlBar::paintBar(QPainter& painter, const QRect& area, double fraction, const QColor& fill) const {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kTrack);
    painter.drawRect(area);
    QRectF done(area);
    done.setWidth(area.width() * std::clamp(fraction, 0.0, 1.0));
    painter.setBrush(fill);
    painter.drawRect(done);
}

void ControlBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const ControlBarLayout layout = controlBarLayout(width(), height());
    const QPoint at = event->position().toPoint();
    // The bars are thin: a click anywhere in their column counts.
    const auto inColumn = [&](const QRect& bar) { return !bar.isEmpty() && at.x() >= bar.left() && at.x() <= bar.right(); };
    if (layout.playButton.contains(at))
        emit playPauseClicked();
    else if (inColumn(layout.seekBar))
        emit seekRequested(fractionAt(layout.seekBar, at));
    else if (inColumn(layout.volumeBar))
        emit volumeRequested(static_cast<int>(std::lround(fractionAt(layout.volumeBar, at) * 100)));
}

}  // namespace zenvira::components
