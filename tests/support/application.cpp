#include "tests/support/application.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace zenvira::testing {

namespace {

int argc = 1;
char name[] = "zenvira-test";
char* argv[] = {name, nullptr};

}  // namespace

QCoreApplication& coreApplication() {
    if (auto* existing = QCoreApplication::instance()) return *existing;
    return *new QCoreApplication(argc, argv);
}

QApplication& widgetApplication() {
    if (auto* existing = QCoreApplication::instance()) {
        if (auto* widgets = qobject_cast<QApplication*>(existing)) return *widgets;
        std::fputs("a test asked for widgets after the binary made a core application\n", stderr);
        std::abort();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // ZENVIRA_MPV_NULL=0 with a display runs the same cases with OpenGL video and sound.
    if (qEnvironmentVariableIsEmpty("ZENVIRA_MPV_NULL")) qputenv("ZENVIRA_MPV_NULL", "1");
    return *new QApplication(argc, argv);
}

}  // namespace zenvira::testing
