#pragma once
// Which kinds of stream a source holds, as ffprobe reports them.
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::encoder {

struct SourceStreams {
    bool video = false;
    bool audio = false;
};

// ffprobe's "-show_entries stream=codec_type -of csv=p=0" output: one kind per line.
SourceStreams parseStreamKinds(std::string_view text);

// Runs ffprobe on `source`; nullopt when it cannot tell (the conversion then finds out).
std::optional<SourceStreams> probeSource(const std::string& ffprobe, const std::string& source);

}  // namespace zenvira::encoder
