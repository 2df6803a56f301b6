#pragma once
// The value types of manifest attributes: whole numbers, byte ranges ("500-999") and
// durations (xs:duration, "PT1H2M3.5S"). Each gives none for text that is not such a value.
#include <cstdint>
#include <optional>
#include <string_view>

#include "media/dash/mpd_manifest.h"

namespace zenvira::components::dash {

std::optional<std::uint64_t> unsignedValue(std::string_view text);
std::optional<std::int64_t> signedValue(std::string_view text);
std::optional<ByteSpan> byteSpanValue(std::string_view text);  // first <= last
std::optional<double> durationSeconds(std::string_view text);  // finite, not negative

}  // namespace zenvira::components::dash
