#pragma once
// The one application object of a test binary, made on first use and never destroyed: it must
// outlive every object of every test. Tests that make widgets take widgetApplication(), the
// others coreApplication(); a binary may call both, widgets first. Unless the environment says
// otherwise, widgets are drawn offscreen and the Flash stand-in plays without video or sound.
#include <QApplication>
#include <QCoreApplication>

namespace zenvira::testing {

QCoreApplication& coreApplication();
QApplication& widgetApplication();

}  // namespace zenvira::testing
