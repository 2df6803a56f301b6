#pragma once
// The main window's layout: every visible control with its name, caption and place, in twips.
// The window builds itself from this table, so the names here are the widgets' objectNames.
#include <string_view>
#include <vector>

#include "app/window/twips.h"
#include "base/quality.h"

namespace zenvira::window {

struct ControlEntry {
    std::string_view name;
    std::string_view caption;  // empty for controls without one
    TwipsRect place;
};

// Outer size of the window, frame and caption included.
constexpr int kWindowWidthTwips = 11670;
constexpr int kWindowHeightTwips = 7080;
// The client area the controls were laid out for; used when the window has no frame to subtract.
constexpr int kClientWidthTwips = 11640;
constexpr int kClientHeightTwips = 6570;

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

}  // namespace zenvira::window
