#pragma once
// Extract's mapping of the resolved streams onto the five quality buttons: the one place the
// button map (List4 and the enabled buttons) is made, for every resolver.
#include <array>
#include <string>
#include <vector>

#include "base/quality.h"
#include "resolve/stream.h"

namespace zenvira::app {

constexpr int kQualityButtons = base::kQualityCount;

struct ButtonMap {
    std::vector<std::string> List4;          // one address or "no" per quality button
    std::array<bool, kQualityButtons> enabled{};
};

// Each button the stream that lands on it (streamsOnButtons), "no" where none landed.
ButtonMap buttonMapOf(const std::vector<resolve::Stream>& streams);

// A watch page's address rows on the buttons, right-aligned: the lowest quality offered
// lands on the last button, and the last List2 row (the piece after the map's final comma)
// is never used.
ButtonMap mapStreamsToButtons(const std::vector<std::string>& List2);

}  // namespace zenvira::app
