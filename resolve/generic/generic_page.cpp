#include "resolve/generic/generic_page.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "components/html_document/html_document.h"
#include "base/web_address/address_text.h"
#include "resolve/generic/json_ld.h"
#include "resolve/generic/page_scan.h"
#include "resolve/generic/stream_height.h"

namespace zenvira::resolve {

namespace {

using components::HtmlDocument;
using components::HtmlElement;
using Json = nlohmann::json;

std::string lowerText(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string collapse(std::string_view text) {
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

bool usableAddress(const std::string& address) {
    const std::string lower = lowerText(address.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

// Collects streams in the order they are found; a repeated address keeps its first place
// and gains what the later mention knew.
class StreamList {
public:
    StreamList(std::string base) : base_(std::move(base)) {}

    void add(std::string_view written, int height, std::string_view mimeType) {
        const std::string address = components::joinAddress(base_, components::cleanAddress(written));
        if (address.empty() || !usableAddress(address)) return;
        const std::string container = containerOf(mimeType, address);
        const std::string type = lowerText(mimeType);
        // og:video often names an embeddable player page or a Flash movie, not a media file.
        if (type.starts_with("text/") || type.find("shockwave") != std::string::npos) return;
        Stream stream;
        stream.address = address;
        stream.height = height > 0 ? height : heightFromAddress(address);
        stream.kind = container == "hls"    ? StreamKind::Hls
                      : container == "dash" ? StreamKind::Dash
                                            : StreamKind::Progressive;
        stream.container = container == "hls" || container == "dash" ? "mp4" : container;
        stream.mimeType = std::string(mimeType);
        if (const auto known = places_.find(address); known != places_.end()) {
            Stream& first = streams_[known->second];
            if (first.height == 0) first.height = stream.height;
            if (first.container.empty()) first.container = stream.container;
            return;
        }
        places_.emplace(address, streams_.size());
        streams_.push_back(std::move(stream));
    }

    std::vector<Stream> take() { return std::move(streams_); }

private:
    std::string base_;
    std::vector<Stream> streams_;
    std::unordered_map<std::string, std::size_t> places_;  // address -> its index in streams_
};

std::string attr(const HtmlElement& element, const char* name) { return element.getAttribute(name).value_or(""); }

// The height a <source> (or <video>) labels itself with.
int labelledHeight(const HtmlElement& element) {
    for (const char* name : {"data-res", "res", "size", "data-quality", "label", "data-label", "title", "data-height"})
        if (const auto value = element.getAttribute(name))
            if (const int h = heightFromLabel(*value)) return h;
    return 0;
}

void readVideoElements(const HtmlDocument& doc, StreamList& streams, const std::string& base,
                       std::vector<Subtitle>& subtitles) {
    for (const auto& video : doc.getElementsByTagName("video")) {
        for (const auto& track : video.getElementsByTagName("track")) {
            const std::string kind = lowerText(attr(track, "kind"));
            const auto src = track.getAttribute("src");
            // A track without a kind is subtitles; chapters and metadata are not for reading.
            if (!src || !(kind.empty() || kind == "subtitles" || kind == "captions")) continue;
            const std::string address = components::joinAddress(base, components::cleanAddress(*src));
            if (address.empty() || !usableAddress(address)) continue;
            if (std::none_of(subtitles.begin(), subtitles.end(),
                             [&](const Subtitle& s) { return s.address == address; }))
                subtitles.push_back({attr(track, "srclang"), address, StreamKind::Progressive});
        }
        if (const auto src = video.getAttribute("src")) streams.add(*src, labelledHeight(video), attr(video, "type"));
        for (const auto& source : video.getElementsByTagName("source"))
            if (const auto src = source.getAttribute("src")) streams.add(*src, labelledHeight(source), attr(source, "type"));
    }
}

int jsonHeight(const Json& value) {
    if (value.is_number_integer() || value.is_number_unsigned()) return value.get<int>();
    if (value.is_number_float()) return static_cast<int>(value.get<double>());
    if (value.is_string()) return heightFromLabel(value.get<std::string>());
    if (value.is_object() && value.contains("value")) return jsonHeight(value["value"]);
    return 0;
}

void readJsonLd(const HtmlDocument& doc, StreamList& streams, std::string& name) {
    forEachJsonLdVideo(doc, NestedVideos::Visited, [&](const Json& video) {
        const std::string url = jsonText(video, "contentUrl");
        if (!url.empty())
            streams.add(url, video.contains("height") ? jsonHeight(video["height"]) : 0, jsonText(video, "encodingFormat"));
        if (name.empty()) name = collapse(jsonText(video, "name"));
    });
}

// og: and twitter: tags, and the title.
struct MetaTags {
    std::string ogTitle;
};

void readMetaTags(const HtmlDocument& doc, StreamList& streams, MetaTags& tags) {
    // One og:video group: og:video (or og:video:url) opens it, secure_url, type and height
    // that follow belong to it.
    struct OgVideo {
        std::vector<std::string> addresses;
        bool opened = false;  // has its og:video or og:video:url
        std::string type;
        int height = 0;
    };
    std::vector<OgVideo> ogVideos;
    std::vector<std::pair<std::string, std::string>> twitter;  // address, type
    for (const auto& meta : doc.getElementsByTagName("meta")) {
        auto key = meta.getAttribute("property");
        if (!key) key = meta.getAttribute("name");
        const auto content = meta.getAttribute("content");
        if (!key || !content) continue;
        const std::string k = lowerText(*key);
        if (k == "og:title" && tags.ogTitle.empty()) {
            tags.ogTitle = collapse(*content);
        } else if (k == "og:video" || k == "og:video:url") {
            if (ogVideos.empty() || ogVideos.back().opened) ogVideos.emplace_back();
            ogVideos.back().opened = true;
            ogVideos.back().addresses.push_back(*content);
        } else if (k == "og:video:secure_url") {
            if (ogVideos.empty()) ogVideos.emplace_back();
            ogVideos.back().addresses.push_back(*content);
        } else if (k == "og:video:type" && !ogVideos.empty()) {
            ogVideos.back().type = *content;
        } else if (k == "og:video:height" && !ogVideos.empty()) {
            ogVideos.back().height = heightFromLabel(*content);
        } else if (k == "twitter:player:stream") {
            twitter.emplace_back(*content, "");
        } else if (k == "twitter:player:stream:content_type" && !twitter.empty()) {
            twitter.back().second = *content;
        }
    }
    for (const auto& video : ogVideos)
        for (const auto& address : video.addresses) streams.add(address, video.height, video.type);
    for (const auto& [address, type] : twitter) streams.add(address, 0, type);
}

std::string baseOf(const HtmlDocument& doc, const std::string& pageAddress) {
    for (const auto& base : doc.getElementsByTagName("base"))
        if (const auto href = base.getAttribute("href")) return components::joinAddress(pageAddress, *href);
    return pageAddress;
}

}  // namespace

std::string containerOf(std::string_view mimeType, std::string_view address) {
    const std::string type = lowerText(mimeType.substr(0, mimeType.find(';')));
    if (type.find("mpegurl") != std::string::npos) return "hls";
    if (type == "application/dash+xml") return "dash";
    if (type == "video/mp4" || type == "video/quicktime" || type == "video/x-m4v") return "mp4";
    if (type == "video/webm") return "webm";
    if (type == "video/x-flv" || type == "video/flv") return "flv";
    if (type == "video/x-matroska" || type == "video/matroska") return "mkv";
    const std::string ext = components::addressExtension(address);
    if (ext == "m3u8" || ext == "m3u") return "hls";
    if (ext == "mpd") return "dash";
    if (ext == "mp4" || ext == "m4v" || ext == "mov") return "mp4";
    if (ext == "webm" || ext == "flv" || ext == "mkv") return ext;
    return {};
}

GenericPage readGenericPage(std::string_view pageText, const std::string& pageAddress) {
    const PageExcerpt excerpt = excerptPage(pageText);
    const HtmlDocument doc(excerpt.html);
    StreamList streams(baseOf(doc, pageAddress));
    GenericPage page;
    std::string jsonName;
    MetaTags tags;
    readVideoElements(doc, streams, baseOf(doc, pageAddress), page.subtitles);
    readJsonLd(doc, streams, jsonName);
    readMetaTags(doc, streams, tags);
    for (const auto& address : excerpt.playlistAddresses) streams.add(address, 0, "application/vnd.apple.mpegurl");
    for (const auto& address : excerpt.manifestAddresses) streams.add(address, 0, "application/dash+xml");
    page.streams = streams.take();
    page.title = tags.ogTitle;
    if (page.title.empty()) page.title = jsonName;
    if (page.title.empty())
        if (const auto titles = doc.getElementsByTagName("title"); !titles.empty()) page.title = collapse(titles.front().textContent());
    return page;
}

}  // namespace zenvira::resolve
