#pragma once
// Where streams land on the five quality buttons, for every resolver alike.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/quality.h"
#include "resolve/stream.h"

namespace zenvira::resolve {

inline constexpr int kButtons = base::kQualityCount;

using ButtonStreams = std::array<std::optional<Stream>, kButtons>;

// A stream on every button it lands on: the tallest of those that land on one button wins,
// then the one of the highest bandwidth. Sound alone lands on no button; a video without
// sound takes the best sound along (bestAudio) when it names none of its own.
ButtonStreams streamsOnButtons(const std::vector<Stream>& streams);

// The sound a download takes when sound comes apart: of the language of the first sound
// listed (the default), the highest bandwidth; none when no stream is sound alone.
std::optional<Stream> bestAudio(const std::vector<Stream>& streams);

// The watch page's streams: its address rows (List2) right-aligned onto the buttons, so the
// lowest quality offered lands on the last button and the last row (the piece after the
// map's final comma) is never used. Each is a progressive FLV stream at its button's height;
// a row that reads "no" offers nothing.
std::vector<Stream> watchPageStreams(const std::vector<std::string>& List2);

}  // namespace zenvira::resolve
