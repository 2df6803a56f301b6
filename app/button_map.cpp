#include "app/button_map.h"

#include "resolve/page_markers.h"
#include "resolve/stream_buttons.h"

namespace zenvira::app {

using zenvira::resolve::kNotOffered;

ButtonMap buttonMapOf(const std::vector<resolve::Stream>& streams) {
    ButtonMap map;
    const auto buttons = resolve::streamsOnButtons(streams);
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        map.List4.push_back(buttons[k] ? buttons[k]->address : kNotOffered);
        map.enabled[k] = buttons[k].has_value();
    }
    return map;
}

ButtonMap mapStreamsToButtons(const std::vector<std::string>& List2) {
    return buttonMapOf(resolve::watchPageStreams(List2));
}

}  // namespace zenvira::app
