#pragma once
// The five qualities the program offers, best first: one row per quality button. The
// resolvers read the frame-size labels (the hidden list List3), the main window the button
// captions, the command line the heights. A new quality is one more row here.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::base {

struct Quality {
    std::string_view frameSize;  // the label in the page's format list, e.g. "1280x720"
    int height;                  // what a person asks for on the command line
    std::string_view caption;    // the quality button's caption
};

inline constexpr std::array<Quality, 5> kQualities = {{
    {"1920x1080", 1080, "1080 HD"},
    {"1280x720", 720, "720 HD"},
    {"854x480", 480, "480 STD"},
    {"640x360", 360, "360 FLV"},
    {"320x240", 240, "240 FLV"},
}};

constexpr int kQualityCount = static_cast<int>(kQualities.size());

// The row of a height (1080 -> 0 ... 240 -> 4), or none.
constexpr std::optional<int> qualityIndexOfHeight(int height) {
    for (int k = 0; k < kQualityCount; ++k)
        if (kQualities[static_cast<std::size_t>(k)].height == height) return k;
    return std::nullopt;
}

// The heights as a person reads them: "1080, 720, 480, 360 or 240".
inline std::string qualityHeightsText() {
    std::string text;
    for (int k = 0; k < kQualityCount; ++k) {
        if (k > 0) text += k + 1 == kQualityCount ? " or " : ", ";
        text += std::to_string(kQualities[static_cast<std::size_t>(k)].height);
    }
    return text;
}

// The hidden lists (List1, List4) hold this text where the page does not offer a quality.
// Code outside those lists reads an entry through offeredEntry and never compares with it.
inline constexpr std::string_view kNotOfferedText = "no";

// A hidden-list entry as a value: its text (format code or address), or none when the
// quality is not offered.
inline std::optional<std::string> offeredEntry(std::string_view entry) {
    if (entry == kNotOfferedText) return std::nullopt;
    return std::string(entry);
}

}  // namespace zenvira::base
