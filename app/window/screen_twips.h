#pragma once
// The twips per pixel of the screen the windows open on.
#include "app/window/twips.h"

namespace zenvira::window {

// The primary screen's factor per axis; the default when there is no screen.
TwipsPerPixel screenTwipsPerPixel();

}  // namespace zenvira::window
