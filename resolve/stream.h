#pragma once
// One stream a page offers, as every resolver reports it.
#include <string>

namespace zenvira::resolve {

enum class StreamKind { Progressive, Hls };

struct Stream {
    std::string address;
    int height = 0;          // frame height in pixels, 0 when not known
    std::string container;   // extension of the file it is saved as: "mp4", "webm", "flv", "mkv"; empty when unknown
    StreamKind kind = StreamKind::Progressive;
    std::string mimeType;    // as the page declared it, empty when it did not

    bool operator==(const Stream&) const = default;
};

inline const char* kindName(StreamKind kind) { return kind == StreamKind::Hls ? "hls" : "progressive"; }

}  // namespace zenvira::resolve
