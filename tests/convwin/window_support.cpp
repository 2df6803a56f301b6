#include "tests/convwin/window_support.h"

#include <QEventLoop>
#include <QTimer>

#include "convert/conversion_job.h"

namespace zenvira::convwin::testing {

bool runToComplete(convert::frmConv& window, int timeoutMs) {
    if (!window.job() || !window.job()->IsRunning()) return false;
    control<QTimer>(window, "Timer1")->setInterval(20);
    QEventLoop loop;
    bool completed = false;
    const auto connection = QObject::connect(window.job(), &convert::AVC::Complete, &loop, [&] {
        completed = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return completed;
}

}  // namespace zenvira::convwin::testing
