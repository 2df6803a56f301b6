#pragma once
// The twips per pixel of the screen the windows open on.
#include "ui/twips.h"

namespace zenvira::ui {

// The primary screen's factor per axis; the default when there is no screen.
TwipsPerPixel screenTwipsPerPixel();

}  // namespace zenvira::ui
