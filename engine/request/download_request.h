#pragma once
// What the engine is asked to do, as data: where the bytes come from, where they go, with
// which settings; and how a job ended. No Qt, no libcurl: every front and every job kind
// reads the same request.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/request/failure_cause.h"
#include "engine/request/job_outcome.h"

namespace zenvira::components {

class CancelToken;
class StreamLink;
class RateBudget;

// How the bytes of one track come: one progressive file, or a playlist of fragments.
enum class TrackKind {
    Progressive,  // one file, fetched in byte ranges
    Hls,          // an HLS media playlist, fetched by its segments and joined
    Dash,         // a representation of a DASH manifest, fetched by its fragments and joined
    Unknown,      // an address given without a resolution: its server's answer decides
};

struct Track {
    TrackKind kind = TrackKind::Unknown;
    std::string address;
    std::string container;  // the extension it is saved as ("flv", "mp4", "webm"), empty when unknown
    std::string representation;  // Dash: the manifest's id of the representation; empty: the job picks
};

// Subtitles saved beside the file once it is whole, as `NAME.LANG.vtt`.
struct SubtitleTrack {
    std::string language;  // empty: "und"
    std::string address;
    bool playlist = false;  // an HLS playlist of WebVTT segments, else one WebVTT file
};

// Where a download's file goes.
struct DownloadTarget {
    std::string folder;        // "c:\" or a full path of this system
    std::string fileName;      // "\Title.flv"
    std::string fallbackName;  // the name when the title leaves none (the video's id)
};

// What the download came from, so a job knows its own files and can renew an expired link.
struct DownloadSource {
    std::string pageAddress;  // the page the address came from, when known
    std::string quality;      // ... and which of its qualities
};

struct DownloadOptions {
    std::string userAgent;
    int connections = 1;                 // where the count starts (TuningValueA)
    std::int64_t minSegmentBytes = 0;    // the smallest piece worth its own connection
    std::int64_t maxBytesPerSecond = 0;  // over all connections; 0: no limit
    // A limit this job shares with others (over all their connections); wins over the above.
    std::shared_ptr<RateBudget> sharedRate;
};

// Reads the page again and gives the quality's current address, or "" (called on the job's
// thread when the address has expired). `cancel` is the job's own: Stop ends the read at once.
using AddressRenewal =
    std::function<std::string(const std::string& page, const std::string& quality, CancelToken& cancel)>;

// One download as data: every front builds one, the engine picks the job by the kind of its
// tracks. Several tracks (video and audio apart) are fetched together and joined.
struct DownloadRequest {
    std::vector<Track> tracks;
    std::vector<SubtitleTrack> subtitles;
    DownloadTarget target;
    DownloadSource source;
    DownloadOptions options;
    AddressRenewal renewAddress;
    // Someone watches it while it comes (the local stream): none when nobody does.
    std::shared_ptr<StreamLink> stream;
};

// What one job kind reads: one track of a request, flattened.
struct JobSettings {
    std::string address;
    std::string folder;    // "c:\" or a full path of this system
    std::string fileName;  // "\Title.flv"
    std::string pageAddress;   // the watch page the address came from, when known
    std::string quality;       // ... and which of its qualities
    std::string fallbackName;  // the name when the title leaves none (the video's id)
    AddressRenewal renewAddress;
    std::string userAgent;
    int connections = 1;
    std::int64_t minSegmentBytes = 0;  // the smallest piece worth its own connection
    std::int64_t maxBytesPerSecond = 0;  // over all connections; 0: no limit
    std::shared_ptr<StreamLink> stream;  // someone watches it while it comes
    std::shared_ptr<RateBudget> sharedRate;  // a limit shared with other jobs; wins over the above
};

// One track of a request as the job that fetches it reads it.
inline JobSettings jobSettingsOf(const DownloadRequest& request, const Track& track) {
    JobSettings settings;
    settings.address = track.address;
    settings.folder = request.target.folder;
    settings.fileName = request.target.fileName;
    settings.pageAddress = request.source.pageAddress;
    settings.quality = request.source.quality;
    settings.fallbackName = request.target.fallbackName;
    settings.renewAddress = request.renewAddress;
    settings.userAgent = request.options.userAgent;
    settings.connections = request.options.connections;
    settings.minSegmentBytes = request.options.minSegmentBytes;
    settings.maxBytesPerSecond = request.options.maxBytesPerSecond;
    settings.stream = request.stream;
    settings.sharedRate = request.options.sharedRate;
    return settings;
}

struct JobResult {
    JobOutcome outcome = JobOutcome::Failed;
    std::string text;  // why it failed, or the warning
    std::string path;  // where the file is (or would be): "NAME (2).flv" when NAME.flv was another's
    bool playlist = false;  // the address is an HLS playlist or a DASH manifest: nothing was fetched or kept
    bool manifest = false;  // ... a DASH manifest
    FailureCause cause{};  // when failed: of what kind
};

}  // namespace zenvira::components
