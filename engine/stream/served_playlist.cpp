#include "engine/stream/served_playlist.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zenvira::components {

namespace {

// A variant says its bandwidth: this one when the download does not know it.
constexpr std::int64_t kUnknownBandwidth = 1000000;

std::string trackName(std::size_t number) { return "track" + std::to_string(number); }

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// "N" as the whole of `text`, nothing else.
std::optional<std::size_t> numberOf(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return static_cast<std::size_t>(std::stoul(text));
}

// "PT12.345S"
std::string durationText(double seconds) { return "PT" + secondsText(seconds) + "S"; }

// A track's fragments are WebM or fragmented MP4: its initialisation section is of the same kind.
bool webm(const StreamTrack& track) { return track.extension == "webm"; }
std::string initialisationName(const StreamTrack& track) { return webm(track) ? "init.webm" : "init.mp4"; }

}  // namespace

bool shownAsManifest(const StreamFragments& fragments) {
    return !fragments.tracks.empty() &&
           std::all_of(fragments.tracks.begin(), fragments.tracks.end(),
                       [](const StreamTrack& track) { return track.initialisation.has_value(); });
}

std::string presentationManifest(const StreamFragments& fragments) {
    double longest = 0;
    for (const auto& track : fragments.tracks) {
        double seconds = 0;
        for (const double each : track.seconds) seconds += each;
        longest = std::max(longest, seconds);
    }
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" "
        "profiles=\"urn:mpeg:dash:profile:isoff-live:2011\" type=\"static\" "
        "mediaPresentationDuration=\"" +
        durationText(longest) + "\" minBufferTime=\"PT2S\">\n<Period start=\"PT0S\">\n";
    const std::int64_t bandwidth = fragments.bitsPerSecond > 0 ? fragments.bitsPerSecond : kUnknownBandwidth;
    for (std::size_t number = 0; number < fragments.tracks.size(); ++number) {
        const StreamTrack& track = fragments.tracks[number];
        const std::string kind = track.sound ? "audio" : "video";
        text += "<AdaptationSet id=\"" + std::to_string(number) + "\" contentType=\"" + kind + "\" mimeType=\"" + kind +
                (webm(track) ? "/webm" : "/mp4") + "\">\n<Representation id=\"" + std::to_string(number) +
                "\" bandwidth=\"" + std::to_string(bandwidth) + "\">\n<SegmentTemplate timescale=\"1000\" " +
                "startNumber=\"0\" initialization=\"" + trackName(number) + "/" + initialisationName(track) +
                "\" media=\"" + trackName(number) + "/$Number$." + track.extension + "\">\n<SegmentTimeline>\n";
        // Each fragment starts where the ones before it end, rounded once, so no drift builds up.
        double end = 0;
        std::int64_t start = 0;
        for (const double seconds : track.seconds) {
            end += seconds;
            const auto next = static_cast<std::int64_t>(std::llround(end * 1000));
            text += "<S t=\"" + std::to_string(start) + "\" d=\"" + std::to_string(next - start) + "\"/>\n";
            start = next;
        }
        text += "</SegmentTimeline>\n</SegmentTemplate>\n</Representation>\n</AdaptationSet>\n";
    }
    text += "</Period>\n</MPD>\n";
    return text;
}

std::string masterPlaylist(const StreamFragments& fragments) {
    std::string text = "#EXTM3U\n#EXT-X-VERSION:6\n#EXT-X-INDEPENDENT-SEGMENTS\n";
    bool sound = false;
    for (std::size_t number = 1; number < fragments.tracks.size(); ++number) {
        if (!fragments.tracks[number].sound) continue;
        text += "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"sound\",NAME=\"sound " + std::to_string(number) + "\"," +
                (sound ? "DEFAULT=NO" : "DEFAULT=YES") + ",AUTOSELECT=YES,URI=\"" + trackName(number) + ".m3u8\"\n";
        sound = true;
    }
    const std::int64_t bandwidth = fragments.bitsPerSecond > 0 ? fragments.bitsPerSecond : kUnknownBandwidth;
    text += "#EXT-X-STREAM-INF:BANDWIDTH=" + std::to_string(bandwidth) + (sound ? ",AUDIO=\"sound\"" : "") + "\n";
    text += trackName(0) + ".m3u8\n";
    return text;
}

std::string mediaPlaylist(const StreamTrack& track, std::size_t number) {
    double longest = 1;
    for (const double seconds : track.seconds) longest = std::max(longest, seconds);
    std::string text = "#EXTM3U\n#EXT-X-VERSION:6\n#EXT-X-TARGETDURATION:" +
                       std::to_string(static_cast<long long>(std::ceil(longest))) +
                       "\n#EXT-X-MEDIA-SEQUENCE:0\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    const std::string folder = trackName(number) + "/";
    if (track.initialisation) text += "#EXT-X-MAP:URI=\"" + folder + initialisationName(track) + "\"\n";
    for (std::size_t at = 0; at < track.fragments.size(); ++at) {
        text += "#EXTINF:" + secondsText(at < track.seconds.size() ? track.seconds[at] : 0) + ",\n";
        text += folder + std::to_string(at) + "." + track.extension + "\n";
    }
    text += "#EXT-X-ENDLIST\n";
    return text;
}

FragmentRoute routeOf(const std::string& name, const StreamFragments& fragments) {
    if (!name.starts_with("track")) return {};
    const auto slash = name.find('/');
    const std::string head = name.substr(5, slash == std::string::npos ? std::string::npos : slash - 5);
    if (slash == std::string::npos) {
        // "trackN.m3u8"
        const auto dot = head.rfind('.');
        if (dot == std::string::npos || head.substr(dot) != ".m3u8") return {};
        const auto number = numberOf(head.substr(0, dot));
        if (!number) return {};
        if (*number >= fragments.tracks.size()) return {FragmentRoute::Kind::Missing, std::nullopt};
        return {FragmentRoute::Kind::Playlist, number};
    }
    // "trackN/init.mp4" (or init.webm) or "trackN/K.EXT"
    const auto number = numberOf(head);
    if (!number || *number >= fragments.tracks.size()) return {FragmentRoute::Kind::Missing, std::nullopt};
    const StreamTrack& track = fragments.tracks[*number];
    const std::string file = name.substr(slash + 1);
    if (file == initialisationName(track))
        return track.initialisation ? FragmentRoute{FragmentRoute::Kind::Piece, track.initialisation}
                                    : FragmentRoute{FragmentRoute::Kind::Missing, std::nullopt};
    const auto dot = file.rfind('.');
    const auto at = numberOf(file.substr(0, dot));
    if (dot == std::string::npos || file.substr(dot + 1) != track.extension || !at || *at >= track.fragments.size())
        return {FragmentRoute::Kind::Missing, std::nullopt};
    return {FragmentRoute::Kind::Piece, track.fragments[*at]};
}

}  // namespace zenvira::components
