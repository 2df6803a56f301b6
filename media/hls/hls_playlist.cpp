#include "media/hls/hls_playlist.h"

#include <charconv>
#include <cstdlib>
#include <tuple>

#include "base/web_address/address_text.h"

namespace zenvira::components::hls {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string lowerText(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The attributes of a tag line: NAME=value pairs, values quoted or not, separated by commas.
std::vector<std::pair<std::string, std::string>> attributesOf(std::string_view list) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 0;
    while (i < list.size()) {
        const auto eq = list.find('=', i);
        if (eq == std::string_view::npos) break;
        std::string name(trimmed(list.substr(i, eq - i)));
        std::size_t j = eq + 1;
        std::string value;
        if (j < list.size() && list[j] == '"') {
            const auto close = list.find('"', j + 1);
            const auto end = close == std::string_view::npos ? list.size() : close;
            value = std::string(list.substr(j + 1, end - j - 1));
            j = end == list.size() ? end : end + 1;
            const auto comma = list.find(',', j);
            j = comma == std::string_view::npos ? list.size() : comma + 1;
        } else {
            const auto comma = list.find(',', j);
            const auto end = comma == std::string_view::npos ? list.size() : comma;
            value = std::string(trimmed(list.substr(j, end - j)));
            j = end == list.size() ? end : end + 1;
        }
        out.emplace_back(std::move(name), std::move(value));
        i = j;
    }
    return out;
}

std::string attribute(const std::vector<std::pair<std::string, std::string>>& list, std::string_view name) {
    for (const auto& [key, value] : list)
        if (key == name) return value;
    return {};
}

template <typename Number>
Number number(std::string_view text, Number fallback = 0) {
    Number value{};
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() ? value : fallback;
}

double seconds(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() ? 0 : value;
}

// "LENGTH[@OFFSET]"; without an offset the range follows the previous one of the same resource.
std::pair<std::uint64_t, std::uint64_t> byteRangeOf(std::string_view text, std::uint64_t nextOffset) {
    const auto at = text.find('@');
    const auto length = number<std::uint64_t>(text.substr(0, at));
    const auto offset = at == std::string_view::npos ? nextOffset : number<std::uint64_t>(text.substr(at + 1));
    return {offset, length};
}

std::optional<std::array<std::uint8_t, 16>> ivOf(std::string_view text) {
    if (!(text.starts_with("0x") || text.starts_with("0X"))) return std::nullopt;
    text.remove_prefix(2);
    if (text.size() > 32 || text.empty()) return std::nullopt;
    std::array<std::uint8_t, 16> iv{};
    // Right-aligned: shorter values are zero-padded on the left.
    std::size_t nibble = 32 - text.size();
    for (const char c : text) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return std::nullopt;
        iv[nibble / 2] = static_cast<std::uint8_t>(iv[nibble / 2] | (nibble % 2 ? d : d << 4));
        ++nibble;
    }
    return iv;
}

std::pair<int, int> resolutionOf(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return {0, 0};
    return {number<int>(text.substr(0, x)), number<int>(text.substr(x + 1))};
}

}  // namespace

bool looksLikePlaylist(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    return text.starts_with("#EXTM3U");
}

bool isPlaylistType(std::string_view contentType) {
    const std::string type = lowerText(trimmed(contentType.substr(0, contentType.find(';'))));
    return type == "application/vnd.apple.mpegurl" || type == "application/x-mpegurl" || type == "audio/mpegurl" ||
           type == "audio/x-mpegurl";
}

ParseResult parsePlaylist(std::string_view text, const std::string& address) {
    ParseResult result;
    if (!looksLikePlaylist(text)) {
        result.error = "The address does not hold an HLS playlist";
        return result;
    }
    Playlist list;
    SegmentKey key;
    std::string initAddress;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> initRange;
    std::uint64_t sequence = 0;
    double nextSeconds = 0;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> nextRange;
    std::uint64_t rangeEnd = 0;
    std::optional<Variant> pendingVariant;

    std::size_t pos = 0;
    while (pos <= text.size()) {
        const auto newline = text.find('\n', pos);
        const std::string_view line = trimmed(text.substr(pos, newline == std::string_view::npos ? text.npos : newline - pos));
        pos = newline == std::string_view::npos ? text.size() + 1 : newline + 1;
        if (line.empty()) continue;
        if (line.front() != '#') {
            const std::string uri = joinAddress(address, cleanAddress(line));
            if (pendingVariant) {
                pendingVariant->address = uri;
                list.variants.push_back(std::move(*pendingVariant));
                pendingVariant.reset();
            } else {
                Segment segment;
                segment.address = uri;
                segment.seconds = nextSeconds;
                segment.sequence = sequence++;
                segment.byteRange = nextRange;
                segment.key = key;
                segment.initAddress = initAddress;
                segment.initRange = initRange;
                list.segments.push_back(std::move(segment));
                nextSeconds = 0;
                nextRange.reset();
            }
            continue;
        }
        const auto colon = line.find(':');
        const std::string_view tag = line.substr(0, colon);
        const std::string_view value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
        if (tag == "#EXT-X-STREAM-INF") {
            list.master = true;
            const auto attrs = attributesOf(value);
            Variant variant;
            std::tie(variant.width, variant.height) = resolutionOf(attribute(attrs, "RESOLUTION"));
            variant.bandwidth = number<std::int64_t>(attribute(attrs, "BANDWIDTH"));
            variant.codecs = attribute(attrs, "CODECS");
            variant.audioGroup = attribute(attrs, "AUDIO");
            variant.subtitlesGroup = attribute(attrs, "SUBTITLES");
            pendingVariant = variant;
        } else if (tag == "#EXT-X-MEDIA") {
            list.master = true;
            const auto attrs = attributesOf(value);
            Rendition rendition;
            const std::string type = attribute(attrs, "TYPE");
            rendition.type = type == "AUDIO"       ? Rendition::Type::Audio
                             : type == "SUBTITLES" ? Rendition::Type::Subtitles
                                                   : Rendition::Type::Other;
            rendition.group = attribute(attrs, "GROUP-ID");
            rendition.name = attribute(attrs, "NAME");
            rendition.language = attribute(attrs, "LANGUAGE");
            rendition.isDefault = attribute(attrs, "DEFAULT") == "YES";
            const std::string uri = attribute(attrs, "URI");
            if (!uri.empty()) rendition.address = joinAddress(address, cleanAddress(uri));
            list.renditions.push_back(std::move(rendition));
        } else if (tag == "#EXTINF") {
            nextSeconds = seconds(value.substr(0, value.find(',')));
        } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
            sequence = number<std::uint64_t>(value);
        } else if (tag == "#EXT-X-TARGETDURATION") {
            list.targetSeconds = seconds(value);
        } else if (tag == "#EXT-X-ENDLIST") {
            list.ended = true;
        } else if (tag == "#EXT-X-PLAYLIST-TYPE") {
            list.type = std::string(trimmed(value));
        } else if (tag == "#EXT-X-BYTERANGE") {
            nextRange = byteRangeOf(value, rangeEnd);
            rangeEnd = nextRange->first + nextRange->second;
        } else if (tag == "#EXT-X-KEY") {
            const auto attrs = attributesOf(value);
            key = SegmentKey();
            key.methodText = attribute(attrs, "METHOD");
            if (key.methodText == "NONE") {
                key.method = SegmentKey::Method::None;
            } else {
                key.method = key.methodText == "AES-128" ? SegmentKey::Method::Aes128 : SegmentKey::Method::Unsupported;
                key.address = joinAddress(address, cleanAddress(attribute(attrs, "URI")));
                key.iv = ivOf(attribute(attrs, "IV"));
            }
        } else if (tag == "#EXT-X-MAP") {
            const auto attrs = attributesOf(value);
            initAddress = joinAddress(address, cleanAddress(attribute(attrs, "URI")));
            const auto range = attribute(attrs, "BYTERANGE");
            initRange = range.empty() ? std::nullopt : std::optional(byteRangeOf(range, 0));
        }
    }
    if (list.type == "VOD") list.ended = true;
    result.playlist = std::move(list);
    return result;
}

const Variant* bestVariant(const Playlist& master) {
    const Variant* best = nullptr;
    for (const auto& variant : master.variants)
        if (!best || variant.height > best->height ||
            (variant.height == best->height && variant.bandwidth > best->bandwidth))
            best = &variant;
    return best;
}

const Rendition* audioRenditionOf(const Playlist& master, const Variant& variant) {
    if (variant.audioGroup.empty()) return nullptr;
    const Rendition* chosen = nullptr;
    for (const auto& rendition : master.renditions) {
        if (rendition.type != Rendition::Type::Audio || rendition.group != variant.audioGroup) continue;
        if (!chosen || (rendition.isDefault && !chosen->isDefault)) chosen = &rendition;
    }
    // A group whose chosen member has no playlist plays the sound muxed into the variant.
    return chosen && !chosen->address.empty() ? chosen : nullptr;
}

std::vector<const Rendition*> subtitleRenditionsOf(const Playlist& master, const Variant& variant) {
    std::vector<const Rendition*> found;
    if (variant.subtitlesGroup.empty()) return found;
    for (const auto& rendition : master.renditions)
        if (rendition.type == Rendition::Type::Subtitles && rendition.group == variant.subtitlesGroup &&
            !rendition.address.empty())
            found.push_back(&rendition);
    return found;
}

std::array<std::uint8_t, 16> sequenceIv(std::uint64_t sequence) {
    std::array<std::uint8_t, 16> iv{};
    for (int i = 0; i < 8; ++i) iv[15 - static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sequence >> (8 * i));
    return iv;
}

}  // namespace zenvira::components::hls
