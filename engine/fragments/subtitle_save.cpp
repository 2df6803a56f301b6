#include "engine/fragments/subtitle_save.h"

#include <filesystem>
#include <fstream>

#include "engine/fragments/segment_fetch.h"
#include "engine/journal/file_name.h"
#include "media/hls/hls_playlist.h"

namespace zenvira::components {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLongestSubtitles = 16u * 1024u * 1024u;

bool isWebVtt(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text.starts_with("WEBVTT");
}

// Every piece whole, in order, or a sentence saying why not.
std::string fetchAll(const std::vector<PieceRequest>& pieces, const std::string& userAgent, CancelToken& stop,
                     const std::function<void()>& tick, std::vector<std::string>& bodies) {
    SegmentFetchSettings settings;
    settings.connections = 4;
    settings.userAgent = userAgent;
    settings.mediaOnly = false;
    settings.maxPieceBytes = kLongestSubtitles;
    settings.pieceName = "The subtitles";
    bodies.assign(pieces.size(), {});
    std::vector<std::size_t> all(pieces.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    const auto result = fetchPieces(
        pieces, all, settings, stop,
        [&](std::size_t index, std::string&& body, const PieceHead&) {
            bodies[index] = std::move(body);
            return std::string();
        },
        [](std::int64_t) {}, [](int) {}, tick);
    if (result.status == SegmentFetchStatus::Stopped) return "stopped";
    return result.status == SegmentFetchStatus::Complete ? std::string() : result.error;
}

std::string fetchSubtitles(const SubtitleTrack& track, const std::string& userAgent, CancelToken& stop,
                           const std::function<void()>& tick, std::string& text) {
    std::vector<std::string> bodies;
    if (auto problem = fetchAll({{track.address, std::nullopt, {}}}, userAgent, stop, tick, bodies); !problem.empty())
        return problem;
    if (!track.playlist) {
        text = std::move(bodies.front());
        return {};
    }
    const auto parsed = hls::parsePlaylist(bodies.front(), track.address);
    if (!parsed.playlist || parsed.playlist->master || parsed.playlist->segments.empty())
        return "the playlist lists no subtitles";
    std::vector<PieceRequest> segments;
    for (const auto& segment : parsed.playlist->segments) segments.push_back({segment.address, segment.byteRange, {}});
    if (auto problem = fetchAll(segments, userAgent, stop, tick, bodies); !problem.empty()) return problem;
    text = joinWebVtt(bodies);
    return {};
}

}  // namespace

std::string subtitlePath(const std::string& savedPath, const std::string& language) {
    fs::path path(savedPath);
    const std::string name = safeFileName(language.empty() ? std::string("und") : language, "und");
    return (path.parent_path() / (path.stem().string() + "." + name + ".vtt")).string();
}

std::string joinWebVtt(const std::vector<std::string>& segments) {
    std::string joined;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::string_view text = segments[i];
        if (i > 0 && isWebVtt(text)) {
            // The header runs to the first blank line.
            const auto blank = text.find("\n\n");
            const auto blankCr = text.find("\r\n\r\n");
            const auto end =
                std::min(blank == text.npos ? text.npos : blank + 2, blankCr == text.npos ? text.npos : blankCr + 4);
            text = end == text.npos ? std::string_view() : text.substr(end);
        }
        joined += text;
        if (!joined.empty() && !joined.ends_with("\n\n")) joined += joined.ends_with('\n') ? "\n" : "\n\n";
    }
    return joined;
}

std::string saveSubtitles(const std::vector<SubtitleTrack>& tracks, const std::string& savedPath,
                          const std::string& userAgent, CancelToken& stop, const std::function<void()>& tick) {
    std::string missing;
    for (const auto& track : tracks) {
        if (stop.cancelled()) break;
        const std::string path = subtitlePath(savedPath, track.language);
        std::string text;
        std::string problem = fetchSubtitles(track, userAgent, stop, tick, text);
        if (problem.empty() && !isWebVtt(text)) problem = "they are not WebVTT";
        if (problem.empty()) {
            const std::string part = path + ".part";
            std::ofstream(part, std::ios::binary | std::ios::trunc) << text;
            std::error_code code;
            if (fs::file_size(part, code) != text.size() || code)
                problem = "they could not be written";
            else
                fs::rename(part, path, code);
            if (code) problem = "they could not be written: " + code.message();
            fs::remove(part, code);
        }
        if (!problem.empty())
            missing += (missing.empty() ? "" : "; ") + std::string("The subtitles ") +
                       (track.language.empty() ? std::string() : "in " + track.language + " ") +
                       "could not be saved: " + problem;
    }
    return missing;
}

}  // namespace zenvira::components
