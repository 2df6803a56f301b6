#include "ui/screen_twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace zenvira::ui {

TwipsPerPixel screenTwipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {twipsPerPixelForDpi(screen->logicalDotsPerInchX()), twipsPerPixelForDpi(screen->logicalDotsPerInchY())};
}

}  // namespace zenvira::ui
