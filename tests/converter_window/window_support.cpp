#include "tests/converter_window/window_support.h"

#include <QTimer>

#include "convert/conversion_job.h"
#include "tests/convert/encoder_folder.h"

namespace zenvira::convwin::testing {

bool runToComplete(convert::frmConv& window, int timeoutMs) {
    if (!window.job() || !window.job()->IsRunning()) return false;
    control<QTimer>(window, "Timer1")->setInterval(20);
    return convert::testing::waitForComplete(*window.job(), timeoutMs);
}

bool runToEnd(convert::frmConv& window, int timeoutMs) {
    if (!window.job() || !window.job()->IsRunning()) return false;
    auto* timer = control<QTimer>(window, "Timer1");
    if (!convert::testing::runUntilEnd(*window.job(), *timer, timeoutMs)) return false;
    return true;
}

}  // namespace zenvira::convwin::testing
