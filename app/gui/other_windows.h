#pragma once
// The GUI front's wiring of the converter and the player window to the main window's
// Converter and Play buttons: one of each at most, shown again while open, made anew once
// closed. The main window knows them only as these two calls.
#include <string>

#include "app/window/frmMain.h"

namespace zenvira::gui {

// playerArgumentText: what the player window plays when it opens.
window::OtherWindows otherWindows(std::string playerArgumentText);

}  // namespace zenvira::gui
