#pragma once
// The texts that frame the data in a watch page, and the frame-size labels of the qualities
// we offer, best first. They are data, not code, because the window keeps them as hidden controls and
// the resolvers read them afresh at every resolution.
#include <string>
#include <vector>

#include "base/quality.h"

namespace zenvira::resolve {

struct PageMarkers {
    std::string Text1 = "\"csi_page_type\"";  // ends the address map
    std::string Text2 = "\"fmt_list\": \"";   // starts the format list
    std::string Text3 = "\"fmt_url_map\"";    // starts the address map
};

// List3: one frame-size label per quality button, best first.
inline std::vector<std::string> defaultQualityTable() {
    std::vector<std::string> List3;
    for (const auto& quality : base::kQualities) List3.emplace_back(quality.frameSize);
    return List3;
}

// The quality-code table's marker for a quality the page does not offer.
inline const std::string kNotOffered{base::kNotOfferedText};

}  // namespace zenvira::resolve
