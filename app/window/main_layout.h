#pragma once
// The main window's layout: every visible control with its name, caption and place, in twips,
// and the window's fixed size. The window builds itself from this table, so the names here are
// the widgets' objectNames.
#include <string_view>
#include <vector>

#include "base/quality.h"
#include "ui/control_table.h"
#include "ui/twips.h"
#include "ui/window_size.h"

namespace zenvira::window {

using ui::ControlEntry;

// Outer size of the window, frame and caption included.
constexpr int kWindowWidthTwips = 11670;
constexpr int kWindowHeightTwips = 7080;
// The client area the controls were laid out for; used when the window has no frame to subtract.
constexpr int kClientWidthTwips = 11640;
constexpr int kClientHeightTwips = 6570;
inline constexpr ui::FixedWindowTwips kMainWindowTwips{kWindowWidthTwips, kWindowHeightTwips, kClientWidthTwips,
                                                       kClientHeightTwips};

constexpr int kQualityButtonCount = base::kQualityCount;
constexpr int kStatusPanel1WidthTwips = 8040;
constexpr int kStatusPanel2WidthTwips = 3400;

inline constexpr std::string_view kButtonFontFamily = "Tahoma";
constexpr int kButtonFontPointSize = 8;

const std::vector<ControlEntry>& mainWindowControls();
// The entry of a control by name; an unknown name is a programming error and throws.
const ControlEntry& controlEntry(std::string_view name);

// "PushButton1_0" ... "PushButton1_4": the quality buttons, one per index of the control array.
std::string_view qualityButtonName(int index);

// The main window's client size at a screen's factor, with the frame the window system adds.
inline ui::PixelSize fixedClientSize(const ui::TwipsPerPixel& factor, ui::PixelSize frameExtra) {
    return ui::fixedClientSize(kMainWindowTwips, factor, frameExtra);
}

}  // namespace zenvira::window
