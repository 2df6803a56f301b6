#include "app/message_lines.h"

#include "components/msg_box/msg_box.h"

namespace zenvira::app {

MessageLines::MessageLines(Sink sink) {
    components::setMsgBoxHandler([sink = std::move(sink)](const std::string& text, int, const std::string& title) {
        sink(title, text);
        return components::MsgBoxResult::Ok;
    });
}

MessageLines::~MessageLines() { components::setMsgBoxHandler({}); }

}  // namespace zenvira::app
