#include "engine/fragments/hls_job.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "base/text_ops.h"
#include "base/web_address/address_text.h"
#include "engine/fragments/segment_fetch.h"
#include "engine/journal/disk_room.h"
#include "engine/journal/file_name.h"
#include "engine/journal/fragment_journal.h"
#include "engine/journal/target_claim.h"
#include "engine/policy/fragment_total.h"
#include "engine/transfer/rate_pacer.h"
#include "engine/transfer/shown_text.h"
#include "engine/transfer/stream_link.h"
#include "media/dash/mpd_manifest.h"
#include "media/hls/hls_playlist.h"
#include "media/media_file/segment_join.h"
#include "platform/path_mapping.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

namespace fs = std::filesystem;

namespace {

constexpr int kFewestSegmentConnections = 8;
// Reads of the playlist, the first and one for each renewed address.
constexpr int kMostRounds = 4;
constexpr const char* kLiveText = "This is a live stream; only complete recordings can be downloaded";
constexpr std::size_t kLongestPlaylist = 16u * 1024u * 1024u;
constexpr std::uint64_t kComparedBytes = 8 * 1024;  // of a kept fragment, asked for again on a rerun
constexpr const char* kChangedText = "The stream changed on the server; it is fetched again from its start";

std::string pieceName(std::size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "%06zu", index);
    return name;
}

std::string digestOf(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return "sha256:" + hex;
}

// A fragment's own validator, as its answer gave it.
std::string validatorOf(const PieceHead& head) {
    if (!head.etag.empty()) return head.etag;
    return head.lastModified.empty() ? std::string() : "modified " + head.lastModified;
}

// The container tracks are joined into, as the target's name says it.
std::string containerOfTarget(const std::string& path) {
    const std::string extension = text::lowerAscii(fs::path(path).extension().string());
    if (extension == ".webm") return "webm";
    if (extension == ".mkv") return "mkv";
    return "mp4";
}

// The first address of a piece of a manifest, and its range as a fetch asks for it.
PieceRequest requestOf(const dash::Piece& piece) {
    PieceRequest request{piece.addresses.empty() ? std::string() : piece.addresses.front(), std::nullopt, {}};
    if (piece.addresses.size() > 1) request.fallbacks.assign(piece.addresses.begin() + 1, piece.addresses.end());
    if (piece.range) request.byteRange = std::make_pair(piece.range->first, piece.range->length());
    return request;
}

bool isVisual(const dash::Representation& representation) {
    return representation.type == dash::TrackType::Video || representation.type == dash::TrackType::Muxed;
}

// The representations asked for by id, in that order; with none asked for, the tallest video
// (then the highest bandwidth) and, when it has no sound of its own, the best sound (the main
// role's, then of the first language, the highest bandwidth).
std::vector<const dash::Representation*> chooseRepresentations(const dash::Manifest& manifest,
                                                               const std::vector<std::string>& ids) {
    std::vector<const dash::Representation*> chosen;
    if (!ids.empty()) {
        for (const auto& id : ids) {
            const auto found = std::find_if(manifest.representations.begin(), manifest.representations.end(),
                                            [&](const dash::Representation& r) { return r.id == id; });
            if (found == manifest.representations.end()) return {};
            chosen.push_back(&*found);
        }
        return chosen;
    }
    const dash::Representation *video = nullptr, *sound = nullptr;
    for (const auto& r : manifest.representations) {
        if (isVisual(r) &&
            (!video || r.height > video->height || (r.height == video->height && r.bandwidth > video->bandwidth)))
            video = &r;
        if (r.type != dash::TrackType::Audio) continue;
        if (!sound || (r.isMain && !sound->isMain) ||
            (r.isMain == sound->isMain && r.language == sound->language && r.bandwidth > sound->bandwidth))
            sound = &r;
    }
    if (video) chosen.push_back(video);
    if (sound && (!video || video->type == dash::TrackType::Video)) chosen.push_back(sound);
    return chosen;
}

bool isWebAddress(const std::string& address) {
    const std::string lower = text::lowerAscii(address.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

// Written straight under its name: the journal, not the name, says whether it is whole.
bool writeFile(const std::string& path, const std::string& bytes, std::string& error) {
    platform::RandomAccessFile file;
    return file.open(path, true, error) && file.writeAt(bytes.data(), bytes.size(), 0, error);
}

std::optional<std::string> decryptAes128(const std::string& data, const std::string& key, const std::array<std::uint8_t, 16>& iv) {
    if (key.size() != 16) return std::nullopt;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!context) return std::nullopt;
    std::string out(data.size() + 16, '\0');
    int written = 0, last = 0;
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, reinterpret_cast<const unsigned char*>(key.data()), iv.data()) != 1 ||
        EVP_DecryptUpdate(context.get(), outBytes, &written, reinterpret_cast<const unsigned char*>(data.data()),
                          static_cast<int>(data.size())) != 1 ||
        EVP_DecryptFinal_ex(context.get(), outBytes + written, &last) != 1)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(written + last));
    return out;
}

// What a track's fragments are, as a player tells them apart by their names: the extension
// of their addresses when it is one of media, else fMP4 after an initialisation section and
// MPEG-TS without.
std::string fragmentExtension(const std::string& address, bool initialised) {
    static const std::set<std::string> kMedia = {"ts", "m4s", "mp4", "m4a", "m4v", "aac", "mp3", "ac3", "ec3", "webm"};
    const std::string extension = text::lowerAscii(addressExtension(address));
    if (kMedia.count(extension))
        return initialised && extension != "mp4" && extension != "webm" ? "m4s" : extension;
    return initialised ? "m4s" : "ts";
}

class HlsJob {
public:
    HlsJob(const JobSettings& settings, std::vector<std::string> companions, ProgressMeter& meter, CancelToken& stop,
           std::function<void()> tick)
        : settings_(settings),
          meter_(meter),
          stop_(stop),
          tick_(std::move(tick)),
          address_(settings.address),
          companions_(std::move(companions)),
          pacer_(settings.sharedRate                 ? std::make_unique<RatePacer>(settings.sharedRate, stop)
                 : settings.maxBytesPerSecond > 0 ? std::make_unique<RatePacer>(settings.maxBytesPerSecond, stop)
                                                  : nullptr) {}

    // Reads the address as a DASH manifest, of which these representations are fetched.
    void readManifest(std::vector<std::string> representations) {
        dash_ = true;
        representations_ = std::move(representations);
    }

    JobResult run() {
        meter_.start(ProgressMeter::Clock::now());
        std::string error;
        // The playlist first: a live, unreadable or unsafe stream leaves nothing on the disk.
        auto playlist = readRenewing(error);
        if (!playlist) return ended(stop_.cancelled() ? JobOutcome::Stopped : JobOutcome::Failed, error);
        if (auto refusal = refusalOfAll(*playlist)) return ended(JobOutcome::Failed, *refusal);
        if (auto early = claim()) return *early;
        statePath_ = partPath_ + ".hls";
        pieceFolder_ = partPath_ + ".segments";
        for (int round = 1;; ++round) {
            buildPieces(*playlist);
            FragmentState kept = keptState();
            const auto fetched = fetchRound(*playlist, kept);
            if (fetched.status == SegmentFetchStatus::Complete) return join();
            if (fetched.status == SegmentFetchStatus::Stopped) return ended(JobOutcome::Stopped);
            if (!fetched.expired || round >= kMostRounds || (!settings_.renewAddress && !dash_))
                return leave(JobOutcome::Failed, fetched.error, fetched.cause);
            // A signed address ran out mid-stream: the page gives a new one, and what is on the
            // disk goes on with it only when the renewed playlist and its fragments agree. A
            // manifest read again gives its fragments' addresses anew, in the same places.
            error = fetched.error;
            if ((!dash_ && !renew(error)) || !(playlist = readRenewing(error)))
                return stop_.cancelled() ? leave(JobOutcome::Stopped, {}) : leave(JobOutcome::Failed, error);
            if (auto refusal = refusalOfAll(*playlist)) return leave(JobOutcome::Failed, *refusal);
        }
    }

private:
    JobResult ended(JobOutcome outcome, std::string text = {}, FailureCause cause = {}) {
        meter_.finish(ProgressMeter::Clock::now());
        tellStreamEnd(outcome);
        return {outcome, std::move(text), path_, false, false, outcome == JobOutcome::Failed ? cause : FailureCause{}};
    }

    // A failure before any fragment came leaves nothing behind: there is nothing to go on with.
    JobResult leave(JobOutcome outcome, std::string text, FailureCause cause = {}) {
        journal_.finish();
        if (outcome == JobOutcome::Failed && done_.empty()) removeCompanions(true);
        return ended(outcome, std::move(text), cause);
    }

    // What makes a playlist one this job must not fetch: live, empty, or naming what it cannot read.
    std::optional<std::string> refusalOf(const hls::Playlist& playlist) const {
        if (!playlist.ended) return kLiveText;
        if (playlist.segments.empty()) return "The playlist lists no segments";
        for (const auto& segment : playlist.segments) {
            if (segment.key.method == hls::SegmentKey::Method::Unsupported)
                return "The stream is encrypted with " + segment.key.methodText + ", which cannot be read";
            for (const std::string* address : {&segment.address, &segment.initAddress, &segment.key.address})
                if (!address->empty() && !isWebAddress(*address))
                    return "The playlist names a part of the stream that is not a web address, so it is not "
                           "downloaded: " +
                           shownText(*address);
        }
        return std::nullopt;
    }

    // The main track and every track joined with it (its sound, when apart).
    std::optional<std::string> refusalOfAll(const hls::Playlist& main) const {
        if (auto refusal = refusalOf(main)) return refusal;
        for (const auto& companion : companionLists_)
            if (auto refusal = refusalOf(companion)) return refusal;
        return std::nullopt;
    }

    // The playlist at the current address; one that expired is renewed from its page first.
    std::optional<hls::Playlist> readRenewing(std::string& error) {
        for (int round = 1;; ++round) {
            playlistExpired_ = false;
            auto playlist = readMediaPlaylist(error);
            if (playlist || !playlistExpired_ || round >= kMostRounds || !settings_.renewAddress) return playlist;
            if (!renew(error)) return std::nullopt;
        }
    }

    // Asks the page for a new address; false (with `error` saying why) when it has none.
    bool renew(std::string& error) {
        const std::string renewed = settings_.renewAddress(settings_.pageAddress, settings_.quality, stop_);
        if (stop_.cancelled()) return false;
        if (renewed.empty() || renewed == address_) {
            error += " (the link expired and the page offers no new one)";
            return false;
        }
        address_ = renewed;
        origin_.address = renewed;
        meter_.setNotice("The link expired and was renewed from the page");
        return true;
    }

    // Keys, the check of what is kept, then every fragment not on the disk yet.
    SegmentFetchResult fetchRound(const hls::Playlist& playlist, FragmentState& kept) {
        if (auto problem = fetchKeys(playlist)) {
            if (stop_.cancelled()) return {SegmentFetchStatus::Stopped, {}};
            return {SegmentFetchStatus::Failed, *problem, keysExpired_};
        }
        if (!kept.done.empty() && !stillServed(kept)) {
            if (stop_.cancelled()) return {SegmentFetchStatus::Stopped, {}};
            // Another video under the same names: nothing kept may be joined with it.
            meter_.setNotice(kChangedText);
            kept.done.clear();
            done_.clear();
            resumedBytes_ = 0;
        }
        std::string error;
        if (!startJournal(kept, error)) return {SegmentFetchStatus::Failed, error};
        showToStream();

        std::vector<std::size_t> wanted;
        for (std::size_t i = 0; i < pieces_.size(); ++i)
            if (!done_.count(i)) wanted.push_back(i);
        meter_.setResumed(resumedBytes_);
        updateTotal();

        SegmentFetchSettings fetchSettings = readSettings();
        // Segments are small: a request's round trip, not the bandwidth, sets the pace, so
        // several are asked for at once whatever the job's own number of connections.
        // Each track of the download gets as many as one track alone would.
        const int fewest = std::min(kFewestSegmentConnections * static_cast<int>(trackEnds_.size()), 16);
        fetchSettings.connections = std::clamp(settings_.connections, fewest, 16);
        if (settings_.stream) fetchSettings.wantedFirst = [link = settings_.stream] { return link->wantedPieces(); };
        const auto result = fetchPieces(
            requests_, wanted, fetchSettings, stop_,
            [this](std::size_t index, std::string&& body, const PieceHead& head) {
                return takePiece(index, std::move(body), head);
            },
            [this](std::int64_t bytes) { meter_.addDone(bytes); }, [this](int count) { meter_.setConnections(count); },
            [this] {
                journal_.tick();
                meter_.sample(ProgressMeter::Clock::now());
                tick_();
            });
        journal_.finish();  // what came is on the disk and named, whatever happens next
        return result;
    }

    // Every read of the job shares its user agent and its rate.
    SegmentFetchSettings readSettings() const {
        SegmentFetchSettings fetchSettings;
        fetchSettings.userAgent = settings_.userAgent;
        fetchSettings.pacer = pacer_.get();
        return fetchSettings;
    }

    void removeCompanions(bool withPart) {
        std::error_code ec;
        fs::remove_all(pieceFolder_, ec);
        fs::remove(statePath_, ec);
        if (withPart) {
            part_.close();
            fs::remove(partPath_, ec);
        }
    }

    // The same names and guards as every download: a safe name, numbered when another
    // download's file has it, and the part locked while this job runs.
    std::optional<JobResult> claim() {
        const platform::LocalTarget target = platform::mapLocalTarget(settings_.folder, settings_.fileName);
        if (!target.ok) return ended(JobOutcome::Failed, target.error);
        std::string error;
        if (!target.driveRoot.empty() && !platform::ensureFolder(target.driveRoot, error))
            return ended(JobOutcome::Failed, error);
        origin_ = DownloadOrigin{address_, settings_.pageAddress, settings_.quality};
        const std::string name = safeFileName(target.path.substr(target.folder.size() + 1), settings_.fallbackName);
        const ClaimedTarget claimed = claimTarget(target.folder, name, origin_, part_);
        path_ = claimed.path;
        partPath_ = claimed.partPath;
        switch (claimed.kind) {
        case ClaimedTarget::Kind::Claimed: return std::nullopt;
        case ClaimedTarget::Kind::AlreadyComplete:
            // Fragments a process that died kept for its players stay no longer.
            removeUnkeptPieces(partPath_ + ".segments");
            return ended(JobOutcome::Completed);
        case ClaimedTarget::Kind::Busy:
            return ended(JobOutcome::Failed, "The file " + path_ + " is already being downloaded",
                         {FailureKind::TargetBusy});
        case ClaimedTarget::Kind::Failed: break;
        }
        return ended(JobOutcome::Failed, claimed.error);
    }

    // Read on the job's own loop, so Stop ends it at once; the answer's validators are kept.
    std::optional<hls::Playlist> fetchPlaylist(const std::string& address, std::string& error) {
        std::string text;
        PieceHead head;
        if (!fetchText({address, std::nullopt, {}}, "playlist", text, head, error)) return std::nullopt;
        trusted_ = {settings_.address, head.etag, head.lastModified, digestOf(text)};
        auto parsed = hls::parsePlaylist(text, head.finalAddress.empty() ? address : head.finalAddress);
        if (!parsed.playlist) error = parsed.error;
        return parsed.playlist;
    }

    // A playlist, a manifest or an index, whole into memory on the job's loop.
    bool fetchText(const PieceRequest& request, const std::string& what, std::string& text, PieceHead& head,
                   std::string& error, bool media = false) {
        SegmentFetchSettings fetchSettings = readSettings();
        fetchSettings.connections = 1;
        fetchSettings.maxPieceBytes = kLongestPlaylist;
        fetchSettings.mediaOnly = media;
        fetchSettings.pieceName = "The " + what;
        const auto result = fetchPieces(
            {request}, {0}, fetchSettings, stop_,
            [&](std::size_t, std::string&& body, const PieceHead& answer) {
                text = std::move(body);
                head = answer;
                return std::string();
            },
            [](std::int64_t) {}, [](int) {}, tick_);
        if (result.status != SegmentFetchStatus::Complete) {
            error = result.status == SegmentFetchStatus::Stopped ? std::string()
                                                                 : "Could not read the " + what + ": " + result.error;
            playlistExpired_ = result.expired;
            return false;
        }
        return true;
    }

    // A DASH manifest: the representations asked for (else the best video and the best sound
    // for it), each as a list of fragments; the first is the main track, the rest are joined.
    std::optional<hls::Playlist> readManifestTracks(std::string& error) {
        std::string text;
        PieceHead head;
        if (!fetchText({address_, std::nullopt, {}}, "manifest", text, head, error)) return std::nullopt;
        const auto read = dash::readManifest(text, head.finalAddress.empty() ? address_ : head.finalAddress);
        if (!read.manifest) {
            error = read.error;
            return std::nullopt;
        }
        const auto chosen = chooseRepresentations(*read.manifest, representations_);
        if (chosen.empty()) {
            error = representations_.empty() ? "The manifest offers no video or sound"
                                             : "The manifest no longer offers the track asked for";
            return std::nullopt;
        }
        // What the journal trusts is the shape of the chosen tracks, not the manifest's text:
        // read again with fresh signed addresses, its fragments keep their places.
        std::string shape;
        bandwidth_ = 0;
        std::vector<hls::Playlist> lists;
        for (const auto* representation : chosen) {
            auto list = fragmentsOf(*representation, error);
            if (!list) return std::nullopt;
            shape += representation->id + " " + std::to_string(representation->bandwidth) + " " + representation->codecs;
            for (const auto& segment : list->segments)
                shape += " " + std::to_string(segment.seconds) +
                         (segment.byteRange ? "@" + std::to_string(segment.byteRange->first) : std::string());
            shape += "\n";
            lists.push_back(std::move(*list));
            bandwidth_ += representation->bandwidth;
        }
        trusted_ = {settings_.address, {}, {}, digestOf(shape)};
        trackSound_.clear();
        for (const auto* representation : chosen) trackSound_.push_back(representation->type == dash::TrackType::Audio);
        companionLists_.assign(lists.begin() + 1, lists.end());
        return lists.front();
    }

    // A representation's fragments as a list like a media playlist's. A SegmentBase file's
    // index is read first, so its fragments come as ranges over many connections.
    std::optional<hls::Playlist> fragmentsOf(const dash::Representation& representation, std::string& error) {
        std::vector<dash::Fragment> fragments = representation.fragments;
        if (fragments.empty() && representation.indexToRead) {
            const dash::Piece& index = *representation.indexToRead;
            std::string bytes;
            PieceHead head;
            if (!fetchText(requestOf(index), "index of a track", bytes, head, error, true)) return std::nullopt;
            auto cut = dash::fragmentsFromIndex(representation, bytes);
            if (!cut.error.empty()) {
                error = cut.error;
                return std::nullopt;
            }
            fragments = std::move(cut.fragments);
        }
        hls::Playlist list;
        list.ended = true;
        const dash::Piece* init = nullptr;
        for (const auto& piece : representation.initialisations)
            if (!piece.addresses.empty()) {
                if (init && !(piece == *init)) {
                    error = "The manifest's periods start a track anew, which cannot be joined into one file";
                    return std::nullopt;
                }
                init = &piece;
            }
        std::uint64_t sequence = 0;
        for (const auto& fragment : fragments) {
            hls::Segment segment;
            const PieceRequest request = requestOf(fragment.piece);
            segment.address = request.address;
            segment.byteRange = request.byteRange;
            segment.fallbacks = request.fallbacks;
            segment.seconds = fragment.seconds;
            segment.sequence = sequence++;
            if (init) {
                const PieceRequest initRequest = requestOf(*init);
                segment.initAddress = initRequest.address;
                segment.initRange = initRequest.byteRange;
                segment.initFallbacks = initRequest.fallbacks;
            }
            list.segments.push_back(std::move(segment));
        }
        return list;
    }

    // A master playlist stands for its best variant; the media playlist's validators are trusted.
    // The tracks joined with it (a sound rendition) are read after it, their digests kept with its.
    std::optional<hls::Playlist> readMediaPlaylist(std::string& error) {
        companionLists_.clear();
        auto playlist = readMainPlaylist(error);
        if (!playlist || dash_) return playlist;
        const TrustedPlaylist main = trusted_;
        std::string digests = main.digest;
        for (const auto& address : trackAddresses_) {
            if (!isWebAddress(address)) {
                error = "The playlist names a track that is not a web address, so it is not downloaded: " +
                        shownText(address);
                return std::nullopt;
            }
            auto companion = fetchPlaylist(address, error);
            if (!companion) return std::nullopt;
            if (companion->master) {
                error = "The playlist names another list of variants instead of segments";
                return std::nullopt;
            }
            digests += " " + trusted_.digest;
            companionLists_.push_back(std::move(*companion));
        }
        trusted_ = main;
        trusted_.digest = digests;  // another sound chosen is another download
        trackSound_.assign(1 + companionLists_.size(), true);  // the companions are its sound
        trackSound_.front() = false;
        return playlist;
    }

    std::optional<hls::Playlist> readMainPlaylist(std::string& error) {
        if (dash_) {
            trackAddresses_.clear();
            return readManifestTracks(error);
        }
        trackAddresses_ = companions_;
        auto playlist = fetchPlaylist(address_, error);
        if (!playlist || !playlist->master) return playlist;
        const hls::Variant* best = hls::bestVariant(*playlist);
        if (!best) {
            error = "The playlist names no variant";
            return std::nullopt;
        }
        if (!isWebAddress(best->address)) {
            error = "The playlist names a variant that is not a web address, so it is not downloaded: " +
                    shownText(best->address);
            return std::nullopt;
        }
        // A variant of video alone is downloaded with its sound.
        if (const hls::Rendition* sound = hls::audioRenditionOf(*playlist, *best); sound && companions_.empty())
            trackAddresses_ = {sound->address};
        bandwidth_ = best->bandwidth;
        const std::string masterDigest = trusted_.digest;
        auto media = fetchPlaylist(best->address, error);
        trusted_.digest = masterDigest + " " + trusted_.digest;  // another variant chosen is another stream
        if (media && media->master) {
            error = "The playlist names another list of variants instead of segments";
            return std::nullopt;
        }
        return media;
    }

    // Track by track: the fMP4 initialisation section first when there is one, then the
    // segments. The main track's pieces come first.
    void buildPieces(const hls::Playlist& playlist) {
        requests_.clear();
        segments_.clear();
        pieceSeconds_.clear();
        trackEnds_.clear();
        done_.clear();
        resumedBytes_ = 0;
        totalSeconds_ = 0;
        addTrackPieces(playlist);
        for (const auto& companion : companionLists_) addTrackPieces(companion);
        pieces_.resize(requests_.size());
        pieceBytes_.assign(requests_.size(), 0);
        for (std::size_t i = 0; i < pieces_.size(); ++i) pieces_[i] = (fs::path(pieceFolder_) / pieceName(i)).string();
    }

    void addTrackPieces(const hls::Playlist& playlist) {
        const auto& first = playlist.segments.front();
        if (!first.initAddress.empty()) {
            requests_.push_back({first.initAddress, first.initRange, first.initFallbacks});
            segments_.emplace_back();
            pieceSeconds_.push_back(0);
        }
        double seconds = 0;
        for (const auto& segment : playlist.segments) {
            requests_.push_back({segment.address, segment.byteRange, segment.fallbacks});
            segments_.push_back(segment);
            pieceSeconds_.push_back(segment.seconds);
            seconds += segment.seconds;
        }
        totalSeconds_ = std::max(totalSeconds_, seconds);
        trackEnds_.push_back(requests_.size());
    }

    // The local stream serves the tracks as they come, each piece from its file once there.
    void showToStream() {
        if (!settings_.stream) return;
        StreamFragments fragments;
        fragments.bitsPerSecond = bandwidth_;
        std::size_t begin = 0;
        for (std::size_t track = 0; track < trackEnds_.size(); ++track) {
            StreamTrack shown;
            shown.sound = track < trackSound_.size() && trackSound_[track];
            for (std::size_t i = begin; i < trackEnds_[track]; ++i) {
                if (!segments_[i]) {
                    shown.initialisation = i;
                    continue;
                }
                shown.fragments.push_back(i);
                shown.seconds.push_back(pieceSeconds_[i]);
            }
            if (!shown.fragments.empty())
                shown.extension =
                    fragmentExtension(segments_[shown.fragments.front()]->address, shown.initialisation.has_value());
            fragments.tracks.push_back(std::move(shown));
            begin = trackEnds_[track];
        }
        settings_.stream->beginFragments(std::move(fragments), pieces_, {done_.begin(), done_.end()});
    }

    // A whole download is served as its file from now on; otherwise the fragments left on
    // the disk still are, and nothing more comes.
    void tellStreamEnd(JobOutcome outcome) {
        if (!settings_.stream) return;
        std::error_code ec;
        const bool saved = outcome == JobOutcome::Completed || outcome == JobOutcome::CompletedWithWarnings;
        const auto size = saved && !path_.empty() ? fs::file_size(path_, ec) : 0;
        if (saved && !path_.empty() && !ec)
            settings_.stream->finished(path_, static_cast<std::int64_t>(size),
                                       fs::exists(pieceFolder_, ec) ? pieceFolder_ : "");
        else
            settings_.stream->end(false, {});
    }

    // What an earlier run left of the same playlist, as it was then: a playlist that changed,
    // or a fragment not on the disk as recorded, is never joined with what comes now.
    FragmentState keptState() {
        FragmentState state;
        state.playlist = trusted_;
        const auto kept = readFragmentState(statePath_);
        if (!kept) return state;
        if (!kept->playlist.sameAs(trusted_)) {
            meter_.setNotice(kChangedText);
            return state;
        }
        std::error_code ec;
        for (const auto& [index, record] : kept->done) {
            if (index >= pieces_.size()) continue;
            const auto size = fs::file_size(pieces_[index], ec);
            if (ec || static_cast<std::int64_t>(size) != record.length) {
                ec.clear();
                continue;
            }
            state.done[index] = record;
            done_.insert(index);
            pieceBytes_[index] = record.length;
            resumedBytes_ += record.length;
        }
        return state;
    }

    // The same playlist text can name another video: the first bytes of the last fragment
    // kept are asked for again and must equal those on the disk, as a resumed file's overlap
    // must. (An encrypted fragment comes whole, to be decrypted first.)
    bool stillServed(const FragmentState& kept) {
        const auto& [index, record] = *kept.done.rbegin();
        PieceRequest request = requests_[index];
        const bool encrypted = segments_[index] && segments_[index]->key.method == hls::SegmentKey::Method::Aes128;
        if (!encrypted) {
            const std::uint64_t length =
                std::min<std::uint64_t>(kComparedBytes, static_cast<std::uint64_t>(record.length));
            request.byteRange = {request.byteRange ? request.byteRange->first : 0, length};
        }
        SegmentFetchSettings fetchSettings = readSettings();
        fetchSettings.connections = 1;
        std::string served;
        bool validatorChanged = false;
        const auto result = fetchPieces(
            {request}, {0}, fetchSettings, stop_,
            [&](std::size_t, std::string&& body, const PieceHead& head) {
                const std::string validator = validatorOf(head);
                validatorChanged = !record.validator.empty() && !validator.empty() && validator != record.validator;
                served = std::move(body);
                return std::string();
            },
            [](std::int64_t) {}, [](int) {}, tick_);
        if (result.status != SegmentFetchStatus::Complete || validatorChanged || served.empty()) return false;
        if (encrypted && !takeDecrypted(index, served).empty()) return false;
        std::string onDisk(served.size(), '\0');
        platform::RandomAccessFile file;
        std::string error;
        return file.open(pieces_[index], false, error) && file.readAt(onDisk.data(), onDisk.size(), 0, error) &&
               onDisk == served;
    }

    // Starts the journal with what is kept; a folder of anything else is emptied first.
    bool startJournal(const FragmentState& kept, std::string& error) {
        std::error_code ec;
        if (kept.done.empty()) fs::remove_all(pieceFolder_, ec);
        fs::create_directories(pieceFolder_, ec);
        if (ec) {
            error = "Could not create " + pieceFolder_ + ": " + ec.message();
            return false;
        }
        if (!journal_.begin(statePath_, kept, error)) {
            error = "Could not write " + statePath_ + ": " + error;
            return false;
        }
        return true;
    }

    // The keys of every track's segments, each asked for once.
    std::optional<std::string> fetchKeys(const hls::Playlist&) {
        std::vector<PieceRequest> keyRequests;
        std::vector<std::string> keyAddresses;
        for (const auto& piece : segments_) {
            if (!piece || piece->key.method != hls::SegmentKey::Method::Aes128) continue;
            const std::string& key = piece->key.address;
            if (keys_.count(key) || std::find(keyAddresses.begin(), keyAddresses.end(), key) != keyAddresses.end())
                continue;
            keyAddresses.push_back(key);
            keyRequests.push_back({key, std::nullopt, {}});
        }
        if (keyRequests.empty()) return std::nullopt;
        std::vector<std::size_t> all(keyRequests.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        SegmentFetchSettings fetchSettings = readSettings();
        fetchSettings.maxPieceBytes = 1024;
        fetchSettings.mediaOnly = false;
        fetchSettings.pieceName = "The stream's key";
        const auto result = fetchPieces(
            keyRequests, all, fetchSettings, stop_,
            [&](std::size_t index, std::string&& body, const PieceHead&) -> std::string {
                if (body.size() != 16) return "The stream's key is not an AES-128 key: " + keyAddresses[index];
                keys_[keyAddresses[index]] = std::move(body);
                return {};
            },
            [](std::int64_t) {}, [](int) {}, tick_);
        if (result.status == SegmentFetchStatus::Complete) return std::nullopt;
        if (result.status == SegmentFetchStatus::Stopped) return std::string();
        keysExpired_ = result.expired;
        return "Could not read the stream's key: " + result.error;
    }

    // Decrypts `bytes` in place when the playlist names a key for the piece.
    std::string takeDecrypted(std::size_t index, std::string& bytes) {
        if (!segments_[index] || segments_[index]->key.method != hls::SegmentKey::Method::Aes128) return {};
        const auto& key = segments_[index]->key;
        const auto iv = key.iv ? *key.iv : hls::sequenceIv(segments_[index]->sequence);
        auto plain = decryptAes128(bytes, keys_[key.address], iv);
        if (!plain) return "A segment could not be decrypted with the stream's key: " + requests_[index].address;
        bytes = std::move(*plain);
        return {};
    }

    std::string takePiece(std::size_t index, std::string&& body, const PieceHead& head) {
        std::string bytes = std::move(body);
        const auto received = static_cast<std::int64_t>(bytes.size());
        if (std::string problem = takeDecrypted(index, bytes); !problem.empty()) return problem;
        meter_.addDone(static_cast<std::int64_t>(bytes.size()) - received);
        std::string error;
        if (!writeFile(pieces_[index], bytes, error)) return "Could not write " + pieces_[index] + ": " + error;
        done_.insert(index);
        pieceBytes_[index] = static_cast<std::int64_t>(bytes.size());
        journal_.add({index, static_cast<std::int64_t>(bytes.size()), validatorOf(head)}, pieces_[index]);
        if (settings_.stream) settings_.stream->pieceArrived(index);
        updateTotal();
        return {};
    }

    // The total is not known before every segment has come: the playlists' durations at the
    // variant's bandwidth say it first, then the bytes of the segments done for the seconds
    // they hold.
    void updateTotal() {
        std::vector<TrackFigures> tracks;
        std::size_t begin = 0;
        for (const std::size_t end : trackEnds_) {
            TrackFigures track;
            track.complete = true;
            for (std::size_t i = begin; i < end; ++i) {
                track.allSeconds += pieceSeconds_[i];
                if (!done_.count(i)) {
                    track.complete = false;
                    continue;
                }
                track.doneBytes += pieceBytes_[i];
                track.doneSeconds += pieceSeconds_[i];
            }
            tracks.push_back(track);
            begin = end;
        }
        const auto announced = static_cast<std::int64_t>(static_cast<double>(bandwidth_) / 8 * totalSeconds_);
        meter_.setTotal(estimatedFragmentTotal(tracks, announced));
    }

    JobResult join() {
        // The joined file takes about as much room again as its fragments.
        std::int64_t fragmentBytes = 0;
        std::error_code ec;
        for (const auto& piece : pieces_) fragmentBytes += static_cast<std::int64_t>(fs::file_size(piece, ec));
        if (auto problem = diskRoomProblem(partPath_, fragmentBytes)) return ended(JobOutcome::Failed, *problem);
        const auto joined =
            trackEnds_.size() > 1
                ? joinTracks(piecesByTrack(), partPath_, containerOfTarget(path_), [this] { return stop_.cancelled(); })
                : joinIntoMp4(pieces_, partPath_, [this] { return stop_.cancelled(); });
        if (!joined.ok && stop_.cancelled()) return ended(JobOutcome::Stopped);
        if (!joined.ok) return ended(JobOutcome::Failed, joined.error);
        markOrigin(partPath_, origin_);  // the marks go with the file through the rename
        fs::rename(partPath_, path_, ec);
        part_.close();
        if (ec) return ended(JobOutcome::Failed, "Could not rename " + partPath_ + ": " + ec.message());
        // A player in the middle of the stream goes on reading the fragments: the stream
        // removes them once nobody reads them any more.
        if (settings_.stream)
            fs::remove(statePath_, ec);
        else
            removeCompanions(false);
        meter_.setTotal(meter_.done());
        tick_();
        return ended(JobOutcome::Completed);
    }

    std::vector<std::vector<std::string>> piecesByTrack() const {
        std::vector<std::vector<std::string>> tracks;
        std::size_t begin = 0;
        for (const std::size_t end : trackEnds_) {
            tracks.emplace_back(pieces_.begin() + static_cast<std::ptrdiff_t>(begin),
                                pieces_.begin() + static_cast<std::ptrdiff_t>(end));
            begin = end;
        }
        return tracks;
    }

    const JobSettings& settings_;
    ProgressMeter& meter_;
    CancelToken& stop_;
    std::function<void()> tick_;
    std::string address_;  // the playlist's, renewed when it expires
    std::vector<std::string> companions_;  // the tracks the request joins with it
    bool dash_ = false;  // the address is a DASH manifest
    std::vector<std::string> representations_;  // ... and these of its representations are fetched
    std::vector<std::string> trackAddresses_;  // ... or that the master playlist names for its variant
    std::vector<hls::Playlist> companionLists_;
    std::int64_t bandwidth_ = 0;  // bits a second of the variant, 0 when not known
    double totalSeconds_ = 0;
    std::vector<double> pieceSeconds_;
    std::vector<std::int64_t> pieceBytes_;  // of each piece on the disk, 0 for one not yet there
    std::vector<std::size_t> trackEnds_;  // one past each track's last piece
    std::vector<bool> trackSound_;  // of each track: sound alone
    std::unique_ptr<RatePacer> pacer_;  // the job's rate over all its reads
    bool playlistExpired_ = false, keysExpired_ = false;
    DownloadOrigin origin_;
    platform::RandomAccessFile part_;  // open and locked while the job runs
    std::string path_, partPath_, statePath_, pieceFolder_;
    std::vector<PieceRequest> requests_;
    std::vector<std::string> pieces_;
    std::vector<std::optional<hls::Segment>> segments_;  // none for an initialisation section
    TrustedPlaylist trusted_;
    std::set<std::size_t> done_;
    FragmentJournal journal_;
    std::int64_t resumedBytes_ = 0;
    std::map<std::string, std::string> keys_;
};

}  // namespace

bool isPlaylistAddress(const std::string& address) {
    const std::string ext = addressExtension(address);
    return ext == "m3u8" || ext == "m3u";
}

bool isManifestAddress(const std::string& address) { return addressExtension(address) == "mpd"; }

JobResult runHlsJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick) {
    return HlsJob(settings, {}, meter, stop, std::move(tick)).run();
}

JobResult runDashJob(const JobSettings& settings, const std::vector<std::string>& representations, ProgressMeter& meter,
                     CancelToken& stop, std::function<void()> tick) {
    HlsJob job(settings, {}, meter, stop, std::move(tick));
    job.readManifest(representations);
    return job.run();
}

JobResult runHlsTracksJob(const JobSettings& settings, const std::vector<std::string>& companions, ProgressMeter& meter,
                          CancelToken& stop, std::function<void()> tick) {
    return HlsJob(settings, companions, meter, stop, std::move(tick)).run();
}

}  // namespace zenvira::components
