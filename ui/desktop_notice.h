#pragma once
// A line for the desktop when something ends while its window is not in front: through the
// freedesktop notification service where the session has one; nothing otherwise.
#include <QString>

namespace zenvira::ui {

void notifyDesktop(const QString& summary, const QString& body);

}  // namespace zenvira::ui
