#pragma once
// The images of the player window's buttons, 84 x 20 pixels each, painted at run time.
#include <QPixmap>

namespace zenvira::player {

QPixmap openButtonImage();
QPixmap fullScreenButtonImage();
QPixmap restoreButtonImage();

}  // namespace zenvira::player
