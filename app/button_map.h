#pragma once
// Extract's mapping of the resolved stream addresses onto the five quality buttons.
#include <array>
#include <optional>
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

// Right-aligns List2 onto the buttons: the lowest quality offered lands on the last button,
// and the last List2 row (the piece after the map's final comma) is never used.
ButtonMap mapStreamsToButtons(const std::vector<std::string>& List2);

// A generic page's streams on the buttons: each button its own stream, "no" where none landed.
ButtonMap mapButtonStreams(const std::array<std::optional<resolve::Stream>, kQualityButtons>& buttons);

}  // namespace zenvira::app
