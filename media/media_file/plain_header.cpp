#include "media/media_file/plain_header.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace zenvira::components {

namespace {

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t length) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// One ISO base media box: its type and its content.
struct Box {
    std::string_view type;
    std::string_view content;
};

// The boxes one after the other in `bytes`; stops at the first that does not fit whole.
template <typename Visit>
void forEachBox(std::string_view bytes, Visit visit) {
    for (std::size_t at = 0; bytes.size() - at >= 8;) {
        std::uint64_t size = bigEndian(bytes, at, 4);
        std::size_t header = 8;
        if (size == 1) {
            if (bytes.size() - at < 16) return;
            size = bigEndian(bytes, at + 8, 8);
            header = 16;
        }
        if (size < header || size > bytes.size() - at) return;
        if (!visit(Box{bytes.substr(at + 4, 4), bytes.substr(at + header, static_cast<std::size_t>(size) - header)}))
            return;
        at += static_cast<std::size_t>(size);
    }
}

std::optional<std::string_view> child(std::string_view parent, std::string_view type) {
    std::optional<std::string_view> found;
    forEachBox(parent, [&](const Box& box) {
        if (box.type != type) return true;
        found = box.content;
        return false;
    });
    return found;
}

// The frame size of the first video track of an MP4 whose `moov` is among the first bytes.
std::optional<MediaFacts> readMp4(std::string_view bytes) {
    if (bytes.size() < 8 || bytes.substr(4, 4) != "ftyp") return std::nullopt;
    const auto moov = child(bytes, "moov");
    if (!moov) return std::nullopt;
    std::optional<MediaFacts> facts;
    forEachBox(*moov, [&](const Box& box) {
        if (box.type != "trak") return true;
        const auto mdia = child(box.content, "mdia");
        const auto hdlr = mdia ? child(*mdia, "hdlr") : std::nullopt;
        // hdlr: version and flags (4), pre_defined (4), handler_type (4).
        if (!hdlr || hdlr->size() < 12 || hdlr->substr(8, 4) != "vide") return true;
        const auto minf = child(*mdia, "minf");
        const auto stbl = minf ? child(*minf, "stbl") : std::nullopt;
        const auto stsd = stbl ? child(*stbl, "stsd") : std::nullopt;
        // stsd: version and flags (4), entry count (4), then the first sample entry: size (4),
        // format (4), 6 reserved, data reference (2), 16 pre-defined and reserved, width (2),
        // height (2).
        if (!stsd || stsd->size() < 8 + 36) return false;
        MediaFacts found;
        found.recognised = true;
        found.container = "mp4";
        found.width = static_cast<int>(bigEndian(*stsd, 8 + 32, 2));
        found.height = static_cast<int>(bigEndian(*stsd, 8 + 34, 2));
        if (found.width > 0 && found.height > 0) facts = found;
        return false;
    });
    return facts;
}

// An AMF0 value in FLV's script data: only the kinds `onMetaData` holds before the sizes.
struct AmfReader {
    std::string_view bytes;
    std::size_t at = 0;
    bool failed = false;

    bool has(std::size_t length) {
        if (bytes.size() - at < length) failed = true;
        return !failed;
    }
    std::string_view text(std::size_t lengthBytes) {
        if (!has(lengthBytes)) return {};
        const auto length = static_cast<std::size_t>(bigEndian(bytes, at, lengthBytes));
        at += lengthBytes;
        if (!has(length)) return {};
        const auto value = bytes.substr(at, length);
        at += length;
        return value;
    }
    // A number's value; a boolean or a string is skipped (nullopt); anything else fails.
    std::optional<double> value() {
        if (!has(1)) return std::nullopt;
        const auto type = static_cast<unsigned char>(bytes[at++]);
        if (type == 0 && has(8)) {
            const std::uint64_t bits = bigEndian(bytes, at, 8);
            at += 8;
            return std::bit_cast<double>(bits);
        }
        if (type == 1 && has(1))
            ++at;
        else if (type == 2)
            text(2);
        else
            failed = true;
        return std::nullopt;
    }
};

// The sizes in the `onMetaData` an FLV opens with (file header, then its first tag).
std::optional<MediaFacts> readFlv(std::string_view bytes) {
    // Header "FLV", version 1, flags with video, header size 9; previous tag size 0; a script
    // tag (18) with its 11-byte head.
    constexpr std::size_t kFirstTag = 9 + 4;
    if (bytes.size() < kFirstTag + 11 || bytes.substr(0, 3) != "FLV" || bytes[3] != 1 ||
        (static_cast<unsigned char>(bytes[4]) & 1) == 0 || bytes[kFirstTag] != 18)
        return std::nullopt;
    AmfReader amf{bytes.substr(kFirstTag + 11)};
    if (!amf.has(1) || bytes[kFirstTag + 11] != 2) return std::nullopt;
    ++amf.at;
    if (amf.text(2) != "onMetaData" || !amf.has(5) || amf.bytes[amf.at] != 8) return std::nullopt;
    amf.at += 5;  // ECMA array: its type and its count
    double width = 0, height = 0;
    while (!amf.failed && (width <= 0 || height <= 0)) {
        const std::string_view key = amf.text(2);
        if (amf.failed || key.empty()) break;
        const auto value = amf.value();
        if (key == "width" && value)
            width = *value;
        else if (key == "height" && value)
            height = *value;
    }
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return std::nullopt;
    MediaFacts facts;
    facts.recognised = true;
    facts.container = "flv";
    facts.width = static_cast<int>(width);
    facts.height = static_cast<int>(height);
    return facts;
}

}  // namespace

std::optional<MediaFacts> readPlainHeader(std::string_view firstBytes) {
    if (auto mp4 = readMp4(firstBytes)) return mp4;
    return readFlv(firstBytes);
}

}  // namespace zenvira::components
