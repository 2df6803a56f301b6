#include "encoder/legacy_values.h"

#include <array>
#include <charconv>
#include <string_view>

#include "encoder/value_syntax.h"

namespace zenvira::encoder {

namespace {

bool isKbit(std::string_view v) { return kbitValue(v).has_value(); }
bool isFrameRate(std::string_view v) { return frameRateValue(v).has_value(); }
bool isPositiveWhole(std::string_view v) {
    return isWholeNumber(v) && v.find_first_not_of('0') != std::string_view::npos;
}
bool isFrameSize(std::string_view v) {
    return parseFrameSize(v).has_value() || (isPlainName(v) && !isWholeNumber(v.substr(0, 1)));
}
// The old quantiser scale ran from 1 (best) to 31; FFmpeg takes up to 255 for some encoders.
bool isQuantiserScale(std::string_view v) {
    if (!isDecimal(v)) return false;
    double value = 0;
    std::from_chars(v.data(), v.data() + v.size(), value);
    return value > 0 && value <= 255;
}
bool isTag(std::string_view v) { return isPlainName(v) && v.size() <= 10; }

struct ValueRule {
    std::string_view option;
    std::string LegacyCommand::*field;
    bool (*valid)(std::string_view);
    std::string_view form;
};

constexpr std::array<ValueRule, 18> kRules{{
    {"-b", &LegacyCommand::videoBitrate, isKbit, "a bit rate in kbit/s"},
    {"-r", &LegacyCommand::frameRate, isFrameRate, "a frame rate"},
    {"-s", &LegacyCommand::frameSize, isFrameSize, "a frame size WxH"},
    {"-vcodec", &LegacyCommand::videoCodec, isPlainName, "a codec name"},
    {"-vtag", &LegacyCommand::videoTag, isTag, "a FourCC"},
    {"-aspect", &LegacyCommand::aspect, isAspectRatio, "an aspect ratio such as 4:3"},
    {"-bt", &LegacyCommand::bitrateTolerance, isKbit, "a bit rate in kbit/s"},
    {"-f", &LegacyCommand::format, isPlainName, "a format name"},
    {"-target", &LegacyCommand::target, isPlainName, "a target name"},
    {"-bufsize", &LegacyCommand::bufferSize, isKbit, "a buffer size in kbit"},
    {"-g", &LegacyCommand::gopSize, isWholeNumber, "a whole number of frames"},
    {"-qscale", &LegacyCommand::quantiserScale, isQuantiserScale, "a quantiser scale from 1 to 31"},
    {"-maxrate", &LegacyCommand::maxVideoBitrate, isKbit, "a bit rate in kbit/s"},
    {"-acodec", &LegacyCommand::audioCodec, isPlainName, "a codec name"},
    {"-atag", &LegacyCommand::audioTag, isTag, "a FourCC"},
    {"-ab", &LegacyCommand::audioBitrate, isKbit, "a bit rate in kbit/s"},
    {"-ar", &LegacyCommand::sampleRate, isPositiveWhole, "a sample rate in Hz"},
    {"-ac", &LegacyCommand::channels, isPositiveWhole, "a number of channels"},
}};

}  // namespace

std::string checkLegacyValues(const LegacyCommand& command) {
    for (const auto& rule : kRules) {
        const std::string& value = command.*rule.field;
        if (!value.empty() && !rule.valid(value))
            return std::string(rule.option) + " takes " + std::string(rule.form) + ", not '" + value + "'";
    }
    return {};
}

}  // namespace zenvira::encoder
