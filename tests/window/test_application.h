#pragma once
// One QApplication for the whole test binary, on the offscreen platform unless told otherwise.
#include <QApplication>
#include <QtGlobal>

inline QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);  // lives until the process ends
    }();
    return *application;
}

#include <QRect>
#include <QSize>
#include <ostream>

// Readable failures for geometry.
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) { *os << "QSize(" << s.width() << ", " << s.height() << ")"; }
