#pragma once
// The converter's status line while the encoder runs: each Converting tick advances one step
// of a four-step cycle, shown as dots after "Processing" and as the progress bar's value. The
// encoder says nothing about how far it has come, so this shows only that it is working.
#include <cstdint>
#include <string>

namespace zenvira::convert {

struct StatusStep {
    std::int16_t next = 0;  // ProgressStep after the tick
    int barValue = 0;       // 1 to 4
    std::string text;       // "Processing." to "Processing...."
};

// The step shown on the tick that finds `ProgressStep`; a value outside 0..3 starts the cycle anew.
StatusStep statusStepAfter(std::int16_t ProgressStep);

inline constexpr const char* kCompleteText = "Complete!";
inline constexpr const char* kStatusDesignText = "Status:";
// "Error! " followed by the job's message.
std::string errorStatusText(const std::string& ErrorMessage);

// The status colours as 0xRRGGBB.
constexpr std::uint32_t kStatusGreen = 0x008000;  // at start and after Complete
constexpr std::uint32_t kStatusRed = 0xFF0000;    // while converting and after an error

}  // namespace zenvira::convert
