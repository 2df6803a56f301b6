#pragma once
// The decimal separator numbers are shown with, read from a locale at the window's edge.
#include <QLocale>

namespace zenvira::window {

// The locale's decimal separator when it is one ASCII character, else the point.
char decimalSeparatorOf(const QLocale& locale);

}  // namespace zenvira::window
