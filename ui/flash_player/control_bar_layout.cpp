#include "ui/flash_player/control_bar_layout.h"

#include <algorithm>

namespace zenvira::components {
namespace {

constexpr int kGap = 6;
constexpr int kTimeWidth = 96;
constexpr int kVolumeWidth = 50;
constexpr int kSeekMinimum = 20;

}  // namespace

ControlBarLayout controlBarLayout(int width, int height) {
    ControlBarLayout layout;
    const int barHeight = std::max(4, height / 4);
    const int barTop = (height - barHeight) / 2;
    layout.playButton = QRect(0, 0, height, height);
    int right = width - kGap;
    layout.volumeBar = QRect(right - kVolumeWidth, barTop, kVolumeWidth, barHeight);
    right -= kVolumeWidth + kGap;
    layout.timeText = QRect(right - kTimeWidth, 0, kTimeWidth, height);
    right -= kTimeWidth + kGap;
    const int seekLeft = layout.playButton.right() + 1 + kGap;
    // A narrow control keeps the play button and drops the seek bar before anything else.
    layout.seekBar = QRect(seekLeft, barTop, std::max(0, right - seekLeft), barHeight);
    if (layout.seekBar.width() < kSeekMinimum) layout.seekBar = QRect();
    return layout;
}

double fractionAt(const QRect& bar, QPoint point) {
    if (bar.width() <= 1) return 0;
    return std::clamp(static_cast<double>(point.x() - bar.left()) / (bar.width() - 1), 0.0, 1.0);
}

}  // namespace zenvira::components
