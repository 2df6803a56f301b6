#include "resolve/resolver.h"

#include <algorithm>

#include "media/hls/hls_playlist.h"
#include "media/media_file/media_probe.h"
#include "base/web_address/address_text.h"
#include "resolve/generic/generic_page.h"
#include "resolve/generic/stream_height.h"
#include "resolve/page_resolver.h"

namespace zenvira::resolve {

namespace {

bool isMediaMagic(const std::string& bytes) {
    if (bytes.size() < 12) return false;
    if (bytes.compare(4, 4, "ftyp") == 0) return true;               // MP4, MOV
    if (bytes.compare(0, 4, "\x1A\x45\xDF\xA3") == 0) return true;  // Matroska, WebM
    if (bytes.compare(0, 3, "FLV") == 0) return true;
    return bytes[0] == 0x47 && bytes.size() > 188 && bytes[188] == 0x47;  // MPEG-TS
}

std::string lowerText(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string withoutExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The variants of a master playlist become streams; a media playlist is one stream.
std::vector<Stream> playlistStreams(const std::string& address, const std::string& text, int knownHeight) {
    const auto parsed = components::hls::parsePlaylist(text, address);
    if (!parsed.playlist) return {};
    if (!parsed.playlist->master) return {Stream{address, knownHeight ? knownHeight : heightFromAddress(address), "mp4", StreamKind::Hls, ""}};
    std::vector<Stream> streams;
    for (const auto& variant : parsed.playlist->variants)
        streams.push_back({variant.address, variant.height ? variant.height : heightFromAddress(variant.address), "mp4",
                           StreamKind::Hls, ""});
    return streams;
}

// Reads a playlist or a stream's first bytes to learn what the page did not say. A stream
// that turns out to be a page (an embeddable player, say) or unreadable is dropped.
std::vector<Stream> completeStream(const Stream& stream, const Fetcher& fetch) {
    if (stream.kind == StreamKind::Hls) {
        const auto list = fetch(stream.address);
        if (!list.ok) return {};
        return playlistStreams(list.finalAddress.empty() ? stream.address : list.finalAddress, list.text, stream.height);
    }
    if (stream.height > 0 && !stream.container.empty()) return {stream};
    const auto head = fetch(stream.address);
    if (!head.ok) return {};
    if (components::hls::isPlaylistType(head.contentType) || components::hls::looksLikePlaylist(head.text))
        return playlistStreams(head.finalAddress.empty() ? stream.address : head.finalAddress, head.text, stream.height);
    if (!head.mediaPrefix && !isMediaMagic(head.text)) return {};
    Stream known = stream;
    const auto facts = components::probeMediaBytes(head.text);
    if (known.height == 0) known.height = facts.height;
    if (known.container.empty()) known.container = containerOf(head.contentType, "");
    if (known.container.empty() && facts.recognised) known.container = facts.container;
    return {known};
}

Resolution directMedia(const std::string& address, const components::FetchResult& page, const Fetcher& fetch) {
    Resolution result;
    result.resolver = "generic";
    result.videoTitle = dispositionName(page.contentDisposition);
    if (result.videoTitle.empty()) result.videoTitle = nameFromAddress(address);
    if (components::hls::isPlaylistType(page.contentType) || components::hls::looksLikePlaylist(page.text)) {
        result.streams = playlistStreams(page.finalAddress.empty() ? address : page.finalAddress, page.text, 0);
        // The address the user gave stands for a media playlist; variants keep their own.
        for (auto& stream : result.streams)
            if (stream.address == page.finalAddress) stream.address = address;
    } else {
        const auto facts = components::probeMediaBytes(page.text);
        Stream stream{address, facts.height ? facts.height : heightFromAddress(address), containerOf(page.contentType, address),
                      StreamKind::Progressive, page.contentType};
        if (stream.container.empty()) stream.container = facts.recognised ? facts.container : "mp4";
        result.streams.push_back(stream);
    }
    (void)fetch;
    result.buttons = streamsOnButtons(result.streams);
    return result;
}

}  // namespace

std::array<std::optional<Stream>, kButtons> streamsOnButtons(const std::vector<Stream>& streams) {
    std::array<std::optional<Stream>, kButtons> buttons;
    for (const auto& stream : streams) {
        auto& slot = buttons[static_cast<std::size_t>(buttonOfHeight(stream.height))];
        if (!slot || stream.height > slot->height) slot = stream;
    }
    return buttons;
}

std::string dispositionName(const std::string& header) {
    const std::string lower = lowerText(header);
    // filename*=UTF-8''name%20here wins over filename="name here".
    if (const auto star = lower.find("filename*="); star != std::string::npos) {
        std::string value = header.substr(star + 10);
        value = value.substr(0, value.find(';'));
        if (const auto quotes = value.find("''"); quotes != std::string::npos) value = value.substr(quotes + 2);
        const std::string name = withoutExtension(percentDecoded(value));
        if (!name.empty()) return name;
    }
    const auto plain = lower.find("filename=");
    if (plain == std::string::npos) return {};
    std::string value = header.substr(plain + 9);
    if (!value.empty() && value.front() == '"') {
        const auto close = value.find('"', 1);
        value = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        value = value.substr(0, value.find(';'));
        while (!value.empty() && value.back() == ' ') value.pop_back();
    }
    // A name is a name, never a path.
    const auto slash = value.find_last_of("/\\");
    if (slash != std::string::npos) value = value.substr(slash + 1);
    return withoutExtension(value);
}

std::string nameFromAddress(const std::string& address) {
    std::string path = components::addressPath(address);
    while (!path.empty() && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    return withoutExtension(percentDecoded(slash == std::string::npos ? path : path.substr(slash + 1)));
}

Resolution resolveGeneric(const std::string& address, const components::FetchResult& page, const Fetcher& fetch) {
    if (page.mediaPrefix || isMediaMagic(page.text) || components::hls::isPlaylistType(page.contentType) ||
        components::hls::looksLikePlaylist(page.text))
        return directMedia(address, page, fetch);
    Resolution result;
    result.resolver = "generic";
    const std::string base = page.finalAddress.empty() ? address : page.finalAddress;
    auto found = readGenericPage(page.text, base);
    result.videoTitle = std::move(found.title);
    for (const auto& stream : found.streams)
        for (auto& complete : completeStream(stream, fetch))
            if (std::none_of(result.streams.begin(), result.streams.end(),
                             [&](const Stream& s) { return s.address == complete.address; })) {
                if (complete.container.empty()) complete.container = "mp4";
                result.streams.push_back(std::move(complete));
            }
    result.buttons = streamsOnButtons(result.streams);
    return result;
}

Resolution resolveFetchedPage(const std::string& address, const components::FetchResult& page, const Fetcher& fetch) {
    const std::string text = page.mediaPrefix ? std::string() : page.text;
    auto watch = resolvePage(text);
    const bool found = std::any_of(watch.List2.begin(), watch.List2.end(), [](const std::string& a) { return !a.empty(); });
    if (found) {
        Resolution result;
        result.resolver = "watch-page";
        result.videoTitle = std::move(watch.videoTitle);
        result.List1 = std::move(watch.List1);
        result.List2 = std::move(watch.List2);
        result.bestAddress = resolveBestAddress(text).address;
        return result;
    }
    // The hidden lists keep what the watch-page resolver left: five "no" entries.
    Resolution result = resolveGeneric(address, page, fetch);
    result.List1 = std::move(watch.List1);
    result.List2 = std::move(watch.List2);
    return result;
}

}  // namespace zenvira::resolve
