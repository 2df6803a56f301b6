#pragma once
// For the window tests: the binary's application with widgets, and readable geometry failures.
#include <QRect>
#include <QSize>
#include <ostream>

#include "tests/support/application.h"

inline QApplication& testApplication() { return zenvira::testing::widgetApplication(); }

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) { *os << "QSize(" << s.width() << ", " << s.height() << ")"; }
