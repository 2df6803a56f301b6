#pragma once
// Reaching the converter window's controls by name and running its job to the end.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <ostream>

#include "convert/window/frmConv.h"

namespace zenvira::convwin::testing {

template <typename T = QWidget>
T* control(QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Speeds up the job's ticks (it set 300 ms) and runs the event loop until Complete; false
// when no run is active or it does not end within `timeoutMs`.
bool runToComplete(convert::frmConv& window, int timeoutMs = 10000);
// The same until the run ends either way (Complete or ErrorEvent).
bool runToEnd(convert::frmConv& window, int timeoutMs = 10000);

}  // namespace zenvira::convwin::testing

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
