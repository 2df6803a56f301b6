#include "resolve/resolver.h"

#include <algorithm>
#include <unordered_set>

#include "base/web_address/address_text.h"
#include "media/dash/mpd_manifest.h"
#include "media/hls/hls_playlist.h"
#include "media/media_file/media_probe.h"
#include "media/media_file/segment_join.h"
#include "resolve/generic/generic_page.h"
#include "resolve/generic/stream_height.h"
#include "resolve/page_resolver.h"
#include "resolve/stream_buttons.h"

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

// The extra reads a resolution may make: at most kMostExtraReads, whatever the page holds.
class ExtraReads {
public:
    explicit ExtraReads(const Fetcher& fetch) : fetch_(fetch) {}

    bool left() const { return used_ < kMostExtraReads; }
    // None once the reads are spent.
    std::optional<components::FetchResult> read(const std::string& address) {
        if (!left() || !fetch_) return std::nullopt;
        ++used_;
        return fetch_(address);
    }

private:
    const Fetcher& fetch_;
    int used_ = 0;
};

// The frame height of a media playlist that says none: probed from the first bytes of its
// first segment (of its initialisation section for fMP4); 0 when they cannot be read.
int probedPlaylistHeight(const components::hls::Playlist& playlist, ExtraReads& reads) {
    if (playlist.segments.empty()) return 0;
    const auto& first = playlist.segments.front();
    if (first.key.method != components::hls::SegmentKey::Method::None) return 0;  // enciphered bytes tell nothing
    const auto bytes = reads.read(first.initAddress.empty() ? first.address : first.initAddress);
    if (!bytes || !bytes->ok) return 0;
    return components::probeMediaBytes(bytes->text).height;
}

void addSubtitle(std::vector<Subtitle>& subtitles, Subtitle subtitle) {
    for (const auto& known : subtitles)
        if (known.address == subtitle.address) return;
    subtitles.push_back(std::move(subtitle));
}

// Codecs that name sound alone ("mp4a.40.2", "opus", "ac-3"...).
bool isSoundOnly(const std::string& codecs) {
    if (codecs.empty()) return false;
    for (const char* video : {"avc", "hvc", "hev", "av01", "vp0", "vp8", "vp9", "dvh", "dvav"})
        if (codecs.find(video) != std::string::npos) return false;
    return true;
}

// The variants of a master playlist become streams; a media playlist is one stream.
std::vector<Stream> playlistStreams(const std::string& address, const std::string& text, int knownHeight,
                                    ExtraReads& reads, std::vector<Subtitle>& subtitles) {
    const auto parsed = components::hls::parsePlaylist(text, address);
    if (!parsed.playlist) return {};
    if (!parsed.playlist->master) {
        int height = knownHeight ? knownHeight : heightFromAddress(address);
        if (height == 0) height = probedPlaylistHeight(*parsed.playlist, reads);
        return {makeStream(address, height, "mp4", StreamKind::Hls)};
    }
    std::vector<Stream> streams;
    const auto& master = *parsed.playlist;
    for (const auto& variant : master.variants) {
        Stream stream =
            makeStream(variant.address, variant.height ? variant.height : heightFromAddress(variant.address), "mp4",
                       StreamKind::Hls);
        stream.codecs = variant.codecs;
        stream.bandwidth = variant.bandwidth;
        if (const auto* sound = components::hls::audioRenditionOf(master, variant)) {
            stream.type = StreamType::Video;
            stream.audioAddress = sound->address;
            stream.language = sound->language;
        } else if (variant.height == 0 && isSoundOnly(variant.codecs)) {
            stream.type = StreamType::Audio;
            stream.container = "m4a";
        }
        streams.push_back(std::move(stream));
    }
    for (const auto& rendition : master.renditions)
        if (rendition.type == components::hls::Rendition::Type::Subtitles && !rendition.address.empty())
            addSubtitle(subtitles, {rendition.language, rendition.address, StreamKind::Hls});
    // The sound renditions are tracks of their own: the default ones first.
    for (const bool defaults : {true, false})
        for (const auto& rendition : master.renditions)
            if (rendition.type == components::hls::Rendition::Type::Audio && !rendition.address.empty() &&
                rendition.isDefault == defaults) {
                Stream sound = makeStream(rendition.address, 0, "m4a", StreamKind::Hls);
                sound.type = StreamType::Audio;
                sound.language = rendition.language;
                streams.push_back(std::move(sound));
            }
    return streams;
}

// Every representation of a DASH manifest is a stream of its own: video, sound or both, told
// apart by its representation; the sound of the main role first.
std::vector<Stream> manifestStreams(const std::string& address, const std::string& text,
                                    std::vector<Subtitle>& subtitles) {
    const auto read = components::dash::readManifest(text, address);
    if (!read.manifest) return {};
    std::vector<Stream> videos, sounds;
    for (const auto& representation : read.manifest->representations) {
        using components::dash::TrackType;
        if (representation.type == TrackType::Text) {
            // A WebVTT file whole; subtitles in fragments are not joined.
            const bool vtt = representation.mimeType == "text/vtt" || representation.codecs == "wvtt";
            const auto& whole = representation.fragments.size() == 1 && !representation.fragments[0].piece.range
                                    ? representation.fragments[0].piece.addresses
                                    : representation.wholeFile.addresses;
            if (vtt && !whole.empty())
                addSubtitle(subtitles, {representation.language, whole.front(), StreamKind::Progressive});
            continue;
        }
        Stream stream =
            makeStream(address, representation.height, components::containerForCodecs({representation.codecs}),
                       StreamKind::Dash, representation.mimeType);
        stream.codecs = representation.codecs;
        stream.bandwidth = representation.bandwidth;
        stream.language = representation.language;
        stream.representation = representation.id;
        if (representation.type == TrackType::Audio) {
            stream.type = StreamType::Audio;
            if (stream.container == "mp4") stream.container = "m4a";
            sounds.insert(representation.isMain ? sounds.begin() : sounds.end(), std::move(stream));
        } else {
            stream.type = representation.type == TrackType::Video ? StreamType::Video : StreamType::Muxed;
            videos.push_back(std::move(stream));
        }
    }
    // Each video alone is joined with the best sound, into the container both their codecs fit.
    if (const auto sound = bestAudio(sounds))
        for (auto& video : videos)
            if (video.type == StreamType::Video) {
                video.audioAddress = sound->address;
                video.audioRepresentation = sound->representation;
                video.language = sound->language;
                video.container = components::containerForCodecs({video.codecs, sound->codecs});
            }
    videos.insert(videos.end(), sounds.begin(), sounds.end());
    return videos;
}

bool isManifest(const components::FetchResult& page) {
    return components::dash::isManifestType(page.contentType) || components::dash::looksLikeManifest(page.text);
}

// Reads a playlist or a stream's first bytes to learn what the page did not say. A stream
// that turns out to be a page (an embeddable player, say) or unreadable is dropped; once the
// reads are spent, a stream stands as the page said it.
std::vector<Stream> completeStream(const Stream& stream, ExtraReads& reads, std::vector<Subtitle>& subtitles) {
    if (stream.kind == StreamKind::Dash) {
        const auto manifest = reads.read(stream.address);
        if (!manifest) return {};  // nothing says what the manifest holds
        if (!manifest->ok) return {};
        return manifestStreams(manifest->finalAddress.empty() ? stream.address : manifest->finalAddress, manifest->text,
                               subtitles);
    }
    if (stream.kind == StreamKind::Hls) {
        const auto list = reads.read(stream.address);
        if (!list) return {stream};
        if (!list->ok) return {};
        return playlistStreams(list->finalAddress.empty() ? stream.address : list->finalAddress, list->text,
                               stream.height, reads, subtitles);
    }
    if (stream.height > 0 && !stream.container.empty()) return {stream};
    const auto head = reads.read(stream.address);
    if (!head) return {stream};
    if (!head->ok) return {};
    if (components::hls::isPlaylistType(head->contentType) || components::hls::looksLikePlaylist(head->text))
        return playlistStreams(head->finalAddress.empty() ? stream.address : head->finalAddress, head->text,
                               stream.height, reads, subtitles);
    if (isManifest(*head))
        return manifestStreams(head->finalAddress.empty() ? stream.address : head->finalAddress, head->text, subtitles);
    if (!head->mediaPrefix && !isMediaMagic(head->text)) return {};
    Stream known = stream;
    const auto facts = components::probeMediaBytes(head->text);
    if (known.height == 0) known.height = facts.height;
    if (known.container.empty()) known.container = containerOf(head->contentType, "");
    if (known.container.empty() && facts.recognised) known.container = facts.container;
    return {known};
}

Resolution directMedia(const std::string& address, const components::FetchResult& page, const Fetcher& fetch) {
    Resolution result;
    result.resolver = "generic";
    result.videoTitle = dispositionName(page.contentDisposition);
    if (result.videoTitle.empty()) result.videoTitle = nameFromAddress(address);
    if (isManifest(page)) {
        result.streams =
            manifestStreams(page.finalAddress.empty() ? address : page.finalAddress, page.text, result.subtitles);
        for (auto& stream : result.streams) {
            stream.address = address;
            if (!stream.audioAddress.empty()) stream.audioAddress = address;  // the same manifest
        }
        // A manifest that cannot be downloaded (protected, live) stays one stream, so that the
        // download says why.
        if (result.streams.empty()) result.streams.push_back(makeStream(address, 0, "mp4", StreamKind::Dash));
    } else if (components::hls::isPlaylistType(page.contentType) || components::hls::looksLikePlaylist(page.text)) {
        ExtraReads reads(fetch);
        result.streams = playlistStreams(page.finalAddress.empty() ? address : page.finalAddress, page.text, 0, reads,
                                         result.subtitles);
        // The address the user gave stands for a media playlist; variants keep their own.
        for (auto& stream : result.streams)
            if (stream.address == page.finalAddress) stream.address = address;
    } else {
        const auto facts = components::probeMediaBytes(page.text);
        Stream stream = makeStream(address, facts.height ? facts.height : heightFromAddress(address),
                                   containerOf(page.contentType, address), StreamKind::Progressive, page.contentType);
        if (stream.container.empty()) stream.container = facts.recognised ? facts.container : "mp4";
        result.streams.push_back(stream);
    }
    return result;
}

// The stream on the best button that has one.
std::optional<Stream> bestOnButtons(const std::vector<Stream>& streams) {
    for (auto& stream : streamsOnButtons(streams))
        if (stream) return stream;
    return std::nullopt;
}

// The page carries the data markers of a watch page, whether or not they frame a stream.
bool isWatchPage(const std::string& text) {
    const PageMarkers markers;
    return text.find(markers.Text2) != std::string::npos || text.find(markers.Text3) != std::string::npos;
}

}  // namespace

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
        components::hls::looksLikePlaylist(page.text) || isManifest(page))
        return directMedia(address, page, fetch);
    Resolution result;
    result.resolver = "generic";
    const std::string base = page.finalAddress.empty() ? address : page.finalAddress;
    auto found = readGenericPage(page.text, base);
    result.videoTitle = std::move(found.title);
    result.subtitles = std::move(found.subtitles);
    ExtraReads reads(fetch);
    std::unordered_set<std::string> seen;
    for (const auto& stream : found.streams)
        for (auto& complete : completeStream(stream, reads, result.subtitles))
            if (seen.insert(complete.address + "\n" + complete.representation).second) {
                if (complete.container.empty()) complete.container = "mp4";
                result.streams.push_back(std::move(complete));
            }
    return result;
}

Resolution resolveFetchedPage(const std::string& address, const components::FetchResult& page, const Fetcher& fetch) {
    const std::string text = page.mediaPrefix ? std::string() : page.text;
    auto watch = resolvePage(text);
    const bool found = std::any_of(watch.List2.begin(), watch.List2.end(), [](const std::string& a) { return !a.empty(); });
    Resolution result;
    if (found) {
        result.resolver = "watch-page";
        result.videoTitle = std::move(watch.videoTitle);
        result.streams = watchPageStreams(watch.List2);
        if (const auto best = resolveBestAddress(text).address) {
            const auto onButton = std::find_if(result.streams.begin(), result.streams.end(),
                                               [&](const Stream& s) { return s.address == *best; });
            result.best =
                onButton != result.streams.end() ? *onButton : makeStream(*best, 0, "flv", StreamKind::Progressive);
        }
    } else {
        result = resolveGeneric(address, page, fetch);
        result.best = bestOnButtons(result.streams);
        // A watch page without a stream of its own stays the watch page: its title, not the
        // generic reading of its <title>, with whatever streams the generic resolver found.
        if (isWatchPage(text)) {
            result.resolver = "watch-page";
            result.videoTitle = std::move(watch.videoTitle);
        }
    }
    // The hidden lists keep what the watch-page resolver cut (five "no" entries when nothing).
    result.List1 = std::move(watch.List1);
    result.List2 = std::move(watch.List2);
    return result;
}

}  // namespace zenvira::resolve
