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
    std::string audioGroup;      // AUDIO: the group of renditions its sound comes from, empty when muxed
    std::string subtitlesGroup;  // SUBTITLES
};

// An EXT-X-MEDIA rendition: a track of its own (sound in another language, subtitles) that
// variants name by their group.
struct Rendition {
    enum class Type { Audio, Subtitles, Other } type = Type::Other;
    std::string group;
    std::string name;
    std::string language;
    std::string address;  // absolute; empty when the rendition is in the variant's own stream
    bool isDefault = false;
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
    // The same segment and section at other places, asked when the first fails (a list of
    // fragments read from a DASH manifest with several BaseURLs; a playlist names none).
    std::vector<std::string> fallbacks, initFallbacks;
};

struct Playlist {
    bool master = false;
    std::vector<Variant> variants;  // master only, in playlist order
    std::vector<Rendition> renditions;  // master only, in playlist order
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

// The sound a variant is downloaded with: the default rendition of its AUDIO group (else the
// first), when it is a playlist of its own; nullptr when the variant carries its own sound.
const Rendition* audioRenditionOf(const Playlist& master, const Variant& variant);

// The subtitle renditions of a variant's SUBTITLES group that have a playlist of their own.
std::vector<const Rendition*> subtitleRenditionsOf(const Playlist& master, const Variant& variant);

// The AES-128 IV of a segment without an explicit IV: its sequence number, big-endian.
std::array<std::uint8_t, 16> sequenceIv(std::uint64_t sequence);

// True for the Content-Types servers give HLS playlists.
bool isPlaylistType(std::string_view contentType);

}  // namespace zenvira::components::hls
