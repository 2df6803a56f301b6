#include "encoder/source_probe.h"

#include <array>
#include <vector>

#include "platform/relayed_child.h"

namespace zenvira::encoder {

using platform::relay::ChildEnd;
using platform::relay::ChildProcess;

SourceStreams parseStreamKinds(std::string_view text) {
    SourceStreams streams;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ',' || line.back() == ' '))
            line.remove_suffix(1);
        streams.video = streams.video || line == "video";
        streams.audio = streams.audio || line == "audio";
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return streams;
}

std::optional<SourceStreams> probeSource(const std::string& ffprobe, const std::string& source) {
    const std::vector<std::string> args{"-v",      "quiet", "-show_entries", "stream=codec_type", "-of",
                                        "csv=p=0", "-i",    source};
    ChildProcess child;
    std::string error;
    if (!child.start(ffprobe, args, true, error)) return std::nullopt;
    std::string text;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), child.output()))
        text.append(buffer.data(), n);
    const ChildEnd end = child.wait();
    if (end.signal != 0 || end.exitCode != 0) return std::nullopt;
    return parseStreamKinds(text);
}

}  // namespace zenvira::encoder
