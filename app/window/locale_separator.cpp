#include "app/window/locale_separator.h"

#include <QString>

namespace zenvira::window {

char decimalSeparatorOf(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() > 0x20 && point.at(0).unicode() < 0x7F)
        return static_cast<char>(point.at(0).unicode());
    return '.';  // the workflow formats with one byte; other separators read as the point
}

}  // namespace zenvira::window
