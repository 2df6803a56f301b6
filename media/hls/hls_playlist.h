#pragma once
// HLS playlists (RFC 8216): a master playlist lists variants of one video at several sizes,
// a media playlist lists the segments of one variant. Only what a download needs is read.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::components::hls {

struct Variant {
    std::string address;  // absolute
    int width = 0, height = 0;  // from RESOLUTION, 0 when absent
    std::int64_t bandwidth = 0;
    std::string codecs;
};

struct SegmentKey {
    enum class Method { None, Aes128, Unsupported } method = Method::None;
    std::string address;                            // the key's absolute address
    std::optional<std::array<std::uint8_t, 16>> iv;  // none: the segment's sequence number
    std::string methodText;                         // as written, for messages
};

struct Segment {
    std::string address;  // absolute
    double seconds = 0;
    std::uint64_t sequence = 0;  // media sequence number
    std::optional<std::pair<std::uint64_t, std::uint64_t>> byteRange;  // offset, length
    SegmentKey key;
    std::string initAddress;  // EXT-X-MAP: the fMP4 initialisation section, empty for TS
    std::optional<std::pair<std::uint64_t, std::uint64_t>> initRange;
};

struct Playlist {
    bool master = false;
    std::vector<Variant> variants;  // master only, in playlist order
    std::vector<Segment> segments;  // media only
    bool ended = false;             // EXT-X-ENDLIST: the list is complete (not live)
    std::string type;               // EXT-X-PLAYLIST-TYPE: VOD, EVENT or empty
    double targetSeconds = 0;
};

struct ParseResult {
    std::optional<Playlist> playlist;
    std::string error;  // why the text is not a playlist we can use
};

// `address` is where the text came from; relative addresses are joined to it.
ParseResult parsePlaylist(std::string_view text, const std::string& address);

// True when the first line is #EXTM3U (a byte-order mark and blanks before it allowed).
bool looksLikePlaylist(std::string_view text);

// The variant a download takes when it is handed a master playlist: the tallest, then the
// highest bandwidth.
const Variant* bestVariant(const Playlist& master);

// The AES-128 IV of a segment without an explicit IV: its sequence number, big-endian.
std::array<std::uint8_t, 16> sequenceIv(std::uint64_t sequence);

// True for the Content-Types servers give HLS playlists.
bool isPlaylistType(std::string_view contentType);

}  // namespace zenvira::components::hls
