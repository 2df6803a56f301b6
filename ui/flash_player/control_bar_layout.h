#pragma once
// Where the parts of the control bar sit in a bar of a given size, and what a click means.
#include <QPoint>
#include <QRect>

namespace zenvira::components {

struct ControlBarLayout {
    QRect playButton;
    QRect seekBar;
    QRect timeText;
    QRect volumeBar;
};

constexpr int kControlBarHeight = 24;

ControlBarLayout controlBarLayout(int width, int height);

// The fraction 0..1 of a bar at the point's x position (clamped to the bar's ends).
double fractionAt(const QRect& bar, QPoint point);

}  // namespace zenvira::components
