#include "convert/output_profiles.h"

#include "base/text_ops.h"

namespace zenvira::convert {

namespace {

// clang-format off
constexpr std::array<OutputProfile, kProfileCount> kProfiles{{
    {.name = "WAVE Sound (WAV)", .extension = ".wav",
     .ForceFormat = "wav", .AudioCodec = "pcm_s16le", .AudioBitrate = "128", .AudioSamples = "41000", .AudioChannels = "2"},
    {.name = "MP3 Sound (MP3)", .extension = ".mp3",
     .ForceFormat = "mp3", .AudioCodec = "mp3", .AudioBitrate = "128", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "3G2 (for Mobile)", .extension = ".3g2",
     .VideoCodec = "mpeg4", .VideoSize = "176x144", .VideoBitrate = "120", .VideoFrameRate = "11",
     .VideoBitrateTolerance = "60",
     .AudioCodec = "amr_nb", .AudioBitrate = "48", .AudioSamples = "8000", .AudioChannels = "1"},
    {.name = "3GP (for Mobile)", .extension = ".3gp",
     .VideoCodec = "h263", .VideoSize = "176x144", .VideoBitrate = "120", .VideoFrameRate = "11",
     .VideoBitrateTolerance = "60",
     .AudioCodec = "amr_nb", .AudioBitrate = "48", .AudioSamples = "8000", .AudioChannels = "1"},
    {.name = "Zune WMV", .extension = ".wmv",
     .VideoCodec = "wmv2", .VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97",
     .AudioCodec = "mp3", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Zune MPEG-4 AVC", .extension = ".avi",
     .VideoCodec = "h264", .VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97",
     .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500", .RateControlBuffer = "128",
     .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Zune MPEG-4 Video", .extension = ".avi",
     .VideoCodec = "mpeg4", .VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97",
     .AudioCodec = "aac", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Sony PSP (PSP AVC)", .extension = ".avi",
     .VideoCodec = "h264", .VideoSize = "368x208", .VideoBitrate = "400", .VideoFrameRate = "29.97",
     .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500", .RateControlBuffer = "128",
     .AudioCodec = "aac", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Sony PSP (Minimal Size)", .extension = ".avi",
     .VideoCodec = "xvid", .VideoSize = "160x112", .VideoBitrate = "216", .VideoFrameRate = "29.97",
     .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "Sony PSP (Excellent Quality)", .extension = ".avi",
     .VideoCodec = "xvid", .VideoSize = "368x208", .VideoBitrate = "768", .VideoFrameRate = "29.97",
     .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "Sony PSP (Normal)", .extension = ".avi",
     .VideoCodec = "xvid", .VideoSize = "368x208", .VideoBitrate = "512", .VideoFrameRate = "29.97",
     .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "QuickTime MOV", .extension = ".mov",
     .VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97",
     .deInterlaceAndSameQuality = true,
     .AudioCodec = "aac", .AudioBitrate = "48", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "RM (RealONE/RealPlayer)", .extension = ".rm",
     .VideoCodec = "rv20", .deInterlaceAndSameQuality = true, .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "WMV(WindowsMedia-Best Quality)", .extension = ".wmv",
     .VideoCodec = "wmv2", .deInterlaceAndSameQuality = true, .AudioChannels = "2"},
    {.name = "WMV(WindowsMedia-Compatible)", .extension = ".wmv",
     .VideoCodec = "wmv2", .deInterlaceAndSameQuality = true, .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "MPEG (Best Quality)", .extension = ".mpg",
     .VideoCodec = "mpeg1video", .VideoFrameRate = "29.97", .deInterlaceAndSameQuality = true, .AudioChannels = "2"},
    {.name = "MPEG (Max Compatible)", .extension = ".mpg",
     .VideoCodec = "mpeg1video", .VideoFrameRate = "29.97", .deInterlaceAndSameQuality = true,
     .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Nano (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPOD Mini (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPOD Shuffle (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPhone Video", .extension = ".mpg",
     .VideoCodec = "mpeg4", .VideoSize = "320x240", .VideoBitrate = "1200", .VideoAspectRatio = "4:3",
     .AudioCodec = "aac", .AudioBitrate = "80", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Video2 (640x480) MPEG4", .extension = ".mpg",
     .VideoCodec = "mpeg4", .VideoSize = "640x480", .VideoBitrate = "1200", .VideoAspectRatio = "4:3",
     .AudioCodec = "aac", .AudioBitrate = "80", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Video (320x240) MPEG4", .extension = ".mpg",
     .VideoCodec = "mpeg4", .VideoSize = "320x240", .VideoBitrate = "512", .VideoAspectRatio = "4:3",
     .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "AVI (MPEG4-XviD-Best Quality)", .extension = ".avi",
     .VideoCodec = "xvid", .VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97",
     .deInterlaceAndSameQuality = true, .AudioChannels = "2"},
    {.name = "AVI (MPEG4-XviD-Compatible)", .extension = ".avi",
     .VideoCodec = "xvid", .VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97",
     .deInterlaceAndSameQuality = true, .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2"},
    {.name = "AVI (MPEG4-DivX-Best Quality)", .extension = ".avi",
     .VideoCodec = "mpeg4", .VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97",
     .deInterlaceAndSameQuality = true, .AudioChannels = "2"},
    {.name = "AVI (MPEG4-DivX-Compatible)", .extension = ".avi",
     .VideoCodec = "mpeg4", .VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97",
     .deInterlaceAndSameQuality = true, .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2"},
}};
// clang-format on

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool sameIgnoringCase(std::string_view a, std::string_view b) { return text::lowerAscii(a) == text::lowerAscii(b); }

}  // namespace

const std::array<OutputProfile, kProfileCount>& outputProfiles() { return kProfiles; }

const OutputProfile* findProfile(std::string_view name) {
    for (const auto& profile : kProfiles)
        if (name == profile.name) return &profile;
    return nullptr;
}

std::string outputPathFor(std::string_view sourcePath, std::string_view extension) {
    std::size_t nameStart = sourcePath.size();
    while (nameStart > 0 && !isSeparator(sourcePath[nameStart - 1])) --nameStart;
    const std::string_view folder = sourcePath.substr(0, nameStart);
    std::string output = text::replaceAll(sourcePath, ".flv", extension);
    // A ".flv" in a folder name would send the output into another folder, over whatever
    // stands there: the output stays beside its source, only the file's name changes.
    if (std::string_view(output).substr(0, nameStart) != folder)
        output = std::string(folder) + text::replaceAll(sourcePath.substr(nameStart), ".flv", extension);
    if (output != sourcePath) return output;
    // The file name's own extension: after its last dot, unless that dot starts the name.
    const std::size_t dot = sourcePath.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
    const std::string_view base = hasExtension ? sourcePath.substr(0, dot) : sourcePath;
    output = std::string(base) + std::string(extension);
    // Windows file names ignore letter case: CLIP.MP3 and CLIP.mp3 are the same file there.
    if (sameIgnoringCase(output, sourcePath)) output = std::string(base) + " (converted)" + std::string(extension);
    return output;
}

}  // namespace zenvira::convert
