#include "components/msg_box/msg_box.h"

#include <utility>

namespace zenvira::components {

namespace {
MsgBoxHandler& installedHandler() {
    static MsgBoxHandler handler;
    return handler;
}
}  // namespace

int msgBox(const std::string& text, int style, const std::string& title) {
    // Copied so a handler may replace itself while it runs.
    const MsgBoxHandler handler = installedHandler();
    return handler ? handler(text, style, title) : MsgBoxResult::Ok;
}

MsgBoxHandler setMsgBoxHandler(MsgBoxHandler handler) {
    return std::exchange(installedHandler(), std::move(handler));
}

}  // namespace zenvira::components
