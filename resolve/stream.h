#pragma once
// One stream a page offers, as every resolver reports it: a file or a playlist, of video and
// sound together, or of one of them alone; with the sound to be fetched and joined with it
// when the page serves it apart.
#include <cstdint>
#include <string>
#include <utility>

namespace zenvira::resolve {

enum class StreamKind { Progressive, Hls, Dash };

// What a stream holds.
enum class StreamType { Muxed, Video, Audio };

struct Stream {
    std::string address;
    int height = 0;          // frame height in pixels, 0 when not known
    std::string container;   // extension of the file it is saved as: "mp4", "webm", "flv", "mkv"; empty when unknown
    StreamKind kind = StreamKind::Progressive;
    std::string mimeType;    // as the page declared it, empty when it did not
    StreamType type = StreamType::Muxed;
    std::string codecs;          // as the playlist or manifest names them ("avc1.64001f,mp4a.40.2"), empty when not said
    std::int64_t bandwidth = 0;  // bits a second, 0 when not said
    std::string language;        // of its sound, empty when not said
    // The sound fetched with a video-only stream and joined with it (of the same kind); empty
    // when the stream has its own sound.
    std::string audioAddress;
    // A DASH stream's representation in its manifest (`address`), and its sound's.
    std::string representation;
    std::string audioRepresentation;

    bool operator==(const Stream&) const = default;
};

// A stream as most resolvers first know it; the rest is filled in where known.
inline Stream makeStream(std::string address, int height, std::string container, StreamKind kind,
                         std::string mimeType = {}) {
    Stream stream;
    stream.address = std::move(address);
    stream.height = height;
    stream.container = std::move(container);
    stream.kind = kind;
    stream.mimeType = std::move(mimeType);
    return stream;
}

// Subtitles a page offers beside its video: one WebVTT file, or an HLS playlist of WebVTT
// segments (kind Hls).
struct Subtitle {
    std::string language;  // as the page names it ("en", "pt-BR"), empty when it does not
    std::string address;
    StreamKind kind = StreamKind::Progressive;
    bool operator==(const Subtitle&) const = default;
};

inline const char* kindName(StreamKind kind) {
    switch (kind) {
    case StreamKind::Hls: return "hls";
    case StreamKind::Dash: return "dash";
    case StreamKind::Progressive: break;
    }
    return "progressive";
}

inline const char* typeName(StreamType type) {
    switch (type) {
    case StreamType::Video: return "video";
    case StreamType::Audio: return "audio";
    case StreamType::Muxed: break;
    }
    return "muxed";
}

}  // namespace zenvira::resolve
