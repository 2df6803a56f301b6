#pragma once
// The values of the old options as they are written, and their forms for today's FFmpeg.
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::encoder {

// Digits only ("44100").
bool isWholeNumber(std::string_view text);
// Digits with at most one decimal point, at least one digit ("29.97", "4.75").
bool isDecimal(std::string_view text);
// Letters, digits, '_' and '-': codec, muxer, target and size names.
bool isPlainName(std::string_view text);

// A rate in kbit/s: a plain number gains FFmpeg's "k" ("1500" -> "1500k"); a number that
// already carries k or M is taken as written. nullopt for anything else.
std::optional<std::string> kbitValue(std::string_view text);

// A frame rate: the NTSC rates written the short way become exact fractions
// ("29.97" -> "30000/1001", "23.976" -> "24000/1001", "59.94" -> "60000/1001"); other
// numbers, fractions ("25/1") and FFmpeg's rate names ("pal", "ntsc") stay as written.
std::optional<std::string> frameRateValue(std::string_view text);

struct FrameSize {
    int width = 0;
    int height = 0;
};
// "WxH" with positive numbers, or nullopt (size names such as "qcif" are not parsed here).
std::optional<FrameSize> parseFrameSize(std::string_view text);
// Both sides brought down to a multiple of `multiple`, never below it.
FrameSize roundDown(FrameSize size, int multiple);

// "4:3" or a decimal ratio ("1.3333").
bool isAspectRatio(std::string_view text);

}  // namespace zenvira::encoder
