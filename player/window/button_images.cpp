#include "player/window/button_images.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace zenvira::player {

namespace {

constexpr int kWidth = 84;
constexpr int kHeight = 20;
constexpr int kGlyphBox = 14;  // the glyph's square at the left

using GlyphPainter = std::function<void(QPainter&, const QRectF&)>;

// A dark rounded button: a glyph in a square at the left and a caption beside it.
QPixmap buttonImage(const QString& caption, const GlyphPainter& glyph) {
    QPixmap image(kWidth, kHeight);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(0, 0, 0, kHeight);
    body.setColorAt(0.0, QColor(0x5a, 0x5f, 0x66));
    body.setColorAt(0.5, QColor(0x33, 0x36, 0x3b));
    body.setColorAt(1.0, QColor(0x1e, 0x20, 0x23));
    painter.setPen(QPen(QColor(0x0c, 0x0c, 0x0c), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 4, 4);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.drawLine(QPointF(4, 1.5), QPointF(kWidth - 4, 1.5));

    const QRectF glyphBox(5, (kHeight - kGlyphBox) / 2.0, kGlyphBox, kGlyphBox);
    glyph(painter, glyphBox);

    // The caption's size shrinks until it fits whatever font the system gives.
    const QRectF captionBox(glyphBox.right() + 4, 0, kWidth - glyphBox.right() - 7, kHeight);
    QFont font = painter.font();
    font.setBold(true);
    for (int pixels = 11; pixels >= 7; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(caption) <= captionBox.width()) break;
    }
    painter.setFont(font);
    painter.setPen(QColor(0xee, 0xee, 0xee));
    painter.drawText(captionBox, Qt::AlignVCenter | Qt::AlignLeft, caption);
    return image;
}

void paintFolder(QPainter& painter, const QRectF& box) {
    QPainterPath folder;
    folder.moveTo(box.left(), box.top() + 3);
    folder.lineTo(box.left() + 5, box.top() + 3);
    folder.lineTo(box.left() + 6.5, box.top() + 4.5);
    folder.lineTo(box.right(), box.top() + 4.5);
    folder.lineTo(box.right(), box.bottom() - 1.5);
    folder.lineTo(box.left(), box.bottom() - 1.5);
    folder.closeSubpath();
    painter.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1));
    painter.setBrush(QColor(0xf2, 0xc1, 0x3a));
    painter.drawPath(folder);
}

// Four corner brackets, pointing outwards (full screen) or inwards (restore).
void paintCorners(QPainter& painter, const QRectF& box, bool outwards) {
    painter.setPen(QPen(QColor(0x7f, 0xc8, 0xff), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const QRectF r = box.adjusted(1, 1, -1, -1);
    const double arm = 4;
    const QPointF corners[] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    const QPointF directions[] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};  // towards the middle
    for (int i = 0; i < 4; ++i) {
        const QPointF d = directions[i];
        const QPointF tip = outwards ? corners[i] : corners[i] + d * arm;
        const QPointF h = outwards ? QPointF(d.x() * arm, 0) : QPointF(-d.x() * arm, 0);
        const QPointF v = outwards ? QPointF(0, d.y() * arm) : QPointF(0, -d.y() * arm);
        painter.drawPolyline(QPolygonF{tip + h, tip, tip + v});
    }
}

}  // namespace

QPixmap openButtonImage() { return buttonImage(QStringLiteral("Open"), paintFolder); }

QPixmap fullScreenButtonImage() {
    return buttonImage(QStringLiteral("Full screen"),
                       [](QPainter& painter, const QRectF& box) { paintCorners(painter, box, true); });
}

QPixmap restoreButtonImage() {
    return buttonImage(QStringLiteral("Restore"),
                       [](QPainter& painter, const QRectF& box) { paintCorners(painter, box, false); });
}

}  // namespace zenvira::player
