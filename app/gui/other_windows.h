#pragma once
// The GUI front's wiring of the converter and the player window to the main window's
// Converter and Play buttons: one of each at most, shown again while open, made anew once
// closed. The main window knows them only as these two calls.
#include <functional>
#include <string>

#include "app/window/frmMain.h"

namespace zenvira::gui {

// playerArgumentText: what the player window plays when it opens. `downloadsShown`, when
// given, is set to a call that tells whether the Downloads window is open and visible.
window::OtherWindows otherWindows(std::string playerArgumentText, std::function<bool()>* downloadsShown = nullptr);

}  // namespace zenvira::gui
