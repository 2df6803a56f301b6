#pragma once
// The 27 output profiles: a name, the extension of the file it makes and the encoder settings
// it assigns (a null value: not assigned, the job keeps what it holds).
#include <array>
#include <string>
#include <string_view>

namespace zenvira::convert {

struct OutputProfile {
    const char* name;
    const char* extension;  // with its leading dot
    const char* VideoCodec = nullptr;
    const char* VideoSize = nullptr;
    const char* VideoBitrate = nullptr;
    const char* VideoFrameRate = nullptr;
    const char* VideoBitrateTolerance = nullptr;
    const char* GroupOfPictureSize = nullptr;
    const char* VideoQuantiserScale = nullptr;
    const char* MaxVideoBitrate = nullptr;
    const char* RateControlBuffer = nullptr;
    const char* VideoAspectRatio = nullptr;
    bool deInterlaceAndSameQuality = false;  // sets both flags to true; no profile sets one alone
    const char* ForceFormat = nullptr;
    const char* AudioCodec = nullptr;
    const char* AudioBitrate = nullptr;
    const char* AudioSamples = nullptr;
    const char* AudioChannels = nullptr;
};

constexpr std::size_t kProfileCount = 27;

// In the order names are matched in.
const std::array<OutputProfile, kProfileCount>& outputProfiles();

// The profile whose name equals `name` exactly (whole text, letter case included), or null.
const OutputProfile* findProfile(std::string_view name);

// The output path: every ".flv" in the source path (folders included, lower case only)
// replaced by the extension. A source path without ".flv" would come out unchanged and be
// written over, so then the file name's own extension, in whatever case, is replaced; and if
// that still names the source, " (converted)" goes before the extension.
std::string outputPathFor(std::string_view sourcePath, std::string_view extension);

}  // namespace zenvira::convert
