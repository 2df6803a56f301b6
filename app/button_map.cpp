#include "app/button_map.h"

#include "resolve/page_markers.h"

namespace zenvira::app {

using zenvira::resolve::kNotOffered;

ButtonMap mapStreamsToButtons(const std::vector<std::string>& List2) {
    ButtonMap map;
    const auto c = static_cast<int>(List2.size());
    // One "no" per button the page's streams do not reach; never more rows than buttons.
    for (int i = 0; i <= kQualityButtons - c && static_cast<int>(map.List4.size()) < kQualityButtons; ++i)
        map.List4.push_back(kNotOffered);
    const auto n = static_cast<int>(map.List4.size());
    for (int row = 0; row < kQualityButtons - n; ++row)
        map.List4.push_back(List2[static_cast<std::size_t>(row)]);
    for (int k = kQualityButtons - 1; k >= 0; --k)
        map.enabled[static_cast<std::size_t>(k)] = base::offeredEntry(map.List4[static_cast<std::size_t>(k)]).has_value();
    return map;
}

ButtonMap mapButtonStreams(const std::array<std::optional<resolve::Stream>, kQualityButtons>& buttons) {
    ButtonMap map;
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        map.List4.push_back(buttons[k] ? buttons[k]->address : kNotOffered);
        map.enabled[k] = buttons[k].has_value();
    }
    return map;
}

}  // namespace zenvira::app
