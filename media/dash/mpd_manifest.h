#pragma once
// An MPEG-DASH manifest (MPD) as a download reads it: every representation of a static
// presentation, each flattened into the addresses of its initialisation section and its
// fragments over all periods, with what picking a track needs (type, height, codecs,
// bandwidth, language). Only what a download needs is read; a live (dynamic) manifest and a
// protected one are refused with a sentence.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::components::dash {

// Bytes `first` to `last` of a resource, both included, as an HTTP Range says them.
struct ByteSpan {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t length() const { return last - first + 1; }
    bool operator==(const ByteSpan&) const = default;
};

// One resource to fetch. `addresses` holds the same resource under each BaseURL that applies,
// in the manifest's order: the first is asked first, the next when it is dead.
struct Piece {
    std::vector<std::string> addresses;  // absolute; never empty
    std::optional<ByteSpan> range;       // none: the whole resource
    bool operator==(const Piece&) const = default;
};

struct Fragment {
    Piece piece;
    double seconds = 0;        // its duration
    double startSeconds = 0;   // where it starts on the presentation's timeline
    int period = 0;            // which period it belongs to (its index in the manifest)
    bool operator==(const Fragment&) const = default;
};

enum class TrackType { Video, Audio, Muxed, Text };

struct Representation {
    std::string id;
    TrackType type = TrackType::Video;
    std::string mimeType;   // "video/mp4", "audio/webm", "text/vtt"
    std::string codecs;     // "avc1.64001f", "mp4a.40.2", "vp09.00.10.08", "opus"
    int width = 0, height = 0;
    std::int64_t bandwidth = 0;  // bits a second
    std::string language;        // the AdaptationSet's @lang, empty when absent
    bool isMain = false;         // Role "main" (the default of its kind)

    // Each period's initialisation section, index by Fragment::period; an empty Piece
    // (no addresses) where the period has none.
    std::vector<Piece> initialisations;
    std::vector<Fragment> fragments;

    // A SegmentBase representation: one file whose fragments are listed in its `sidx` box at
    // `index`. `fragments` is empty until the index has been read (fragmentsFromIndex).
    std::optional<Piece> indexToRead;
    Piece wholeFile;  // the SegmentBase file itself, whole (its addresses, no range)

    double seconds = 0;  // the presentation's duration as this representation covers it
};

struct Manifest {
    std::vector<Representation> representations;  // manifest order, periods joined
    double seconds = 0;  // mediaPresentationDuration, else the sum of the periods
};

struct ReadResult {
    std::optional<Manifest> manifest;
    std::string error;  // why the text is not a manifest we can download
};

// `address` is where the text came from: relative BaseURLs and addresses are joined to it.
ReadResult readManifest(std::string_view text, const std::string& address);

// True when the text looks like an MPD (an <MPD> root, a byte-order mark and an XML
// declaration before it allowed).
bool looksLikeManifest(std::string_view text);

// True for the Content-Types servers give MPDs ("application/dash+xml").
bool isManifestType(std::string_view contentType);

// Cuts a SegmentBase representation into its fragments from the bytes of its `sidx` box (read
// from `indexToRead`): each reference becomes a fragment of `wholeFile` with its byte range and
// duration. The error is a sentence when the bytes are no usable index.
struct IndexResult {
    std::vector<Fragment> fragments;
    std::string error;
};
IndexResult fragmentsFromIndex(const Representation& representation, std::string_view indexBytes);

}  // namespace zenvira::components::dash
