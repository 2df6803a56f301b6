#pragma once
// The converter window's layout: every visible control with its name, design caption and
// place in twips, the window's fixed size and the fonts. The window builds itself from this
// table, so the names here are the widgets' objectNames.
#include <string_view>
#include <vector>

#include "ui/control_table.h"
#include "ui/window_size.h"

namespace zenvira::convert {

using ui::ControlEntry;

// Outer size 4995 x 3090 twips (333 x 206 pixels at 96 DPI); the client area is what a
// single-line frame and caption leave of it, as for the main window.
inline constexpr ui::FixedWindowTwips kConverterWindowTwips{4995, 3090, 4965, 2580};

inline constexpr std::string_view kConverterCaption = "FLV Converter";

inline constexpr std::string_view kControlFontFamily = "Tahoma";
// Where Tahoma is missing: a face of about its width, so the captions fit the places laid out
// for them (the usual stand-in is as wide as Verdana).
inline constexpr std::string_view kControlFontFallback = "DejaVu Sans Condensed";
inline constexpr std::string_view kStatusFontFamily = "Verdana";
constexpr double kControlFontPointSize = 8.25;

// The progress bar's range: one step per dot of the status animation.
constexpr int kProgressMaximum = 4;

// The entries of the format list, top to bottom: the profile names, mostly in the reverse of
// the order they are matched in (the three iPOD music profiles keep theirs).
const std::vector<std::string_view>& formatListEntries();

const std::vector<ControlEntry>& converterControls();
// The entry of a control by name; an unknown name is a programming error and throws.
const ControlEntry& converterControl(std::string_view name);

}  // namespace zenvira::convert
