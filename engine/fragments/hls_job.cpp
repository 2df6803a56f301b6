#include "engine/fragments/hls_job.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "engine/journal/file_name.h"
#include "engine/fragments/segment_fetch.h"
#include "engine/journal/target_claim.h"
#include "media/hls/hls_playlist.h"
#include "media/media_file/segment_join.h"
#include "engine/page_fetch/page_fetch.h"
#include "base/web_address/address_text.h"
#include "platform/path_mapping.h"

namespace zenvira::components {

namespace fs = std::filesystem;

namespace {

constexpr int kFewestSegmentConnections = 8;
constexpr const char* kStateHeader = "zenvira-hls 1";
constexpr const char* kLiveText = "This is a live stream; only complete recordings can be downloaded";

std::string pieceName(std::size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "%06zu", index);
    return name;
}

// What `<target>.part.hls` says: the playlist it belongs to and the pieces already on the disk.
struct HlsState {
    std::string playlist;
    std::set<std::size_t> done;
};

HlsState readState(const std::string& path) {
    HlsState state;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != kStateHeader) return {};
    if (!std::getline(in, state.playlist)) return {};
    while (std::getline(in, line)) {
        try {
            state.done.insert(static_cast<std::size_t>(std::stoull(line)));
        } catch (const std::exception&) {
            return {};
        }
    }
    return state;
}

// Written to a temporary name and renamed, so a crash leaves the old list or the new one.
bool writeState(const std::string& path, const HlsState& state) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kStateHeader << "\n" << state.playlist << "\n";
        for (const auto index : state.done) out << index << "\n";
        out.flush();
        if (!out) return false;
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    return !error;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) return false;
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    return !error;
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

class HlsJob {
public:
    HlsJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick)
        : settings_(settings), meter_(meter), stop_(stop), tick_(std::move(tick)) {}

    JobResult run() {
        meter_.start(ProgressMeter::Clock::now());
        std::string error;
        // The playlist first: a live or unreadable stream leaves nothing on the disk.
        auto playlist = readMediaPlaylist(error);
        if (!playlist) return ended(stop_.cancelled() ? JobOutcome::Stopped : JobOutcome::Failed, error);
        if (!playlist->ended) return ended(JobOutcome::Failed, kLiveText);
        if (playlist->segments.empty()) return ended(JobOutcome::Failed, "The playlist lists no segments");
        for (const auto& segment : playlist->segments)
            if (segment.key.method == hls::SegmentKey::Method::Unsupported)
                return ended(JobOutcome::Failed, "The stream is encrypted with " + segment.key.methodText + ", which cannot be read");
        if (auto early = claim()) return *early;
        statePath_ = partPath_ + ".hls";
        pieceFolder_ = partPath_ + ".segments";
        buildPieces(*playlist);
        if (!prepareFolder(error)) return ended(JobOutcome::Failed, error);
        if (auto problem = fetchKeys(*playlist)) return ended(stop_.cancelled() ? JobOutcome::Stopped : JobOutcome::Failed, *problem);

        std::vector<std::size_t> wanted;
        for (std::size_t i = 0; i < pieces_.size(); ++i)
            if (!state_.done.count(i)) wanted.push_back(i);
        meter_.setResumed(resumedBytes_);
        updateTotal();

        SegmentFetchSettings fetchSettings;
        // Segments are small: a request's round trip, not the bandwidth, sets the pace, so
        // several are asked for at once whatever the job's own number of connections.
        fetchSettings.connections = std::clamp(settings_.connections, kFewestSegmentConnections, 16);
        fetchSettings.userAgent = settings_.userAgent;
        const auto result = fetchPieces(
            requests_, wanted, fetchSettings, stop_,
            [this](std::size_t index, std::string&& body) { return takePiece(index, std::move(body)); },
            [this](std::int64_t bytes) { meter_.addDone(bytes); }, [this](int count) { meter_.setConnections(count); },
            [this] {
                meter_.sample(ProgressMeter::Clock::now());
                tick_();
            });
        if (result.status == SegmentFetchStatus::Stopped) return ended(JobOutcome::Stopped);
        if (result.status == SegmentFetchStatus::Failed) return ended(JobOutcome::Failed, result.error);
        return join();
    }

private:
    JobResult ended(JobOutcome outcome, std::string text = {}) {
        meter_.finish(ProgressMeter::Clock::now());
        return {outcome, std::move(text), path_};
    }

    // The same names and guards as every download: a safe name, numbered when another
    // download's file has it, and the part locked while this job runs.
    std::optional<JobResult> claim() {
        const platform::LocalTarget target = platform::mapLocalTarget(settings_.folder, settings_.fileName);
        if (!target.ok) return ended(JobOutcome::Failed, target.error);
        std::string error;
        if (!target.driveRoot.empty() && !platform::ensureFolder(target.driveRoot, error))
            return ended(JobOutcome::Failed, error);
        origin_ = DownloadOrigin{settings_.address, settings_.pageAddress, settings_.quality};
        const std::string name = safeFileName(target.path.substr(target.folder.size() + 1), settings_.fallbackName);
        const ClaimedTarget claimed = claimTarget(target.folder, name, origin_, part_);
        path_ = claimed.path;
        partPath_ = claimed.partPath;
        switch (claimed.kind) {
        case ClaimedTarget::Kind::Claimed: return std::nullopt;
        case ClaimedTarget::Kind::AlreadyComplete: return ended(JobOutcome::Completed);
        case ClaimedTarget::Kind::Busy: return ended(JobOutcome::Failed, "The file " + path_ + " is already being downloaded");
        case ClaimedTarget::Kind::Failed: break;
        }
        return ended(JobOutcome::Failed, claimed.error);
    }

    std::optional<hls::Playlist> fetchPlaylist(const std::string& address, std::string& error) {
        FetchOptions options;
        options.userAgent = settings_.userAgent;
        options.maxBodyBytes = 16u * 1024u * 1024u;
        const auto page = PageFetch(options).FetchText(address);
        if (!page.ok) {
            error = "Could not read the playlist: " + page.error;
            return std::nullopt;
        }
        auto parsed = hls::parsePlaylist(page.text, page.finalAddress.empty() ? address : page.finalAddress);
        if (!parsed.playlist) error = parsed.error;
        return parsed.playlist;
    }

    // A master playlist stands for its best variant.
    std::optional<hls::Playlist> readMediaPlaylist(std::string& error) {
        auto playlist = fetchPlaylist(settings_.address, error);
        if (!playlist || !playlist->master) return playlist;
        const hls::Variant* best = hls::bestVariant(*playlist);
        if (!best) {
            error = "The playlist names no variant";
            return std::nullopt;
        }
        auto media = fetchPlaylist(best->address, error);
        if (media && media->master) {
            error = "The playlist names another list of variants instead of segments";
            return std::nullopt;
        }
        return media;
    }

    // Piece 0 is the fMP4 initialisation section when there is one; the segments follow.
    void buildPieces(const hls::Playlist& playlist) {
        const auto& first = playlist.segments.front();
        hasInit_ = !first.initAddress.empty();
        if (hasInit_) requests_.push_back({first.initAddress, first.initRange});
        for (const auto& segment : playlist.segments) {
            requests_.push_back({segment.address, segment.byteRange});
            segments_.push_back(segment);
        }
        pieces_.resize(requests_.size());
        for (std::size_t i = 0; i < pieces_.size(); ++i) pieces_[i] = (fs::path(pieceFolder_) / pieceName(i)).string();
    }

    // Takes up what an earlier run of the same playlist left; anything else starts afresh.
    bool prepareFolder(std::string& error) {
        state_ = readState(statePath_);
        std::error_code ec;
        if (state_.playlist != settings_.address) {
            state_ = HlsState{settings_.address, {}};
            fs::remove_all(pieceFolder_, ec);
        }
        fs::create_directories(pieceFolder_, ec);
        if (ec) {
            error = "Could not create " + pieceFolder_ + ": " + ec.message();
            return false;
        }
        for (auto it = state_.done.begin(); it != state_.done.end();) {
            const auto size = *it < pieces_.size() ? fs::file_size(pieces_[*it], ec) : 0;
            if (*it >= pieces_.size() || ec) {
                it = state_.done.erase(it);
                ec.clear();
            } else {
                resumedBytes_ += static_cast<std::int64_t>(size);
                ++it;
            }
        }
        if (!writeState(statePath_, state_)) {
            error = "Could not write " + statePath_;
            return false;
        }
        return true;
    }

    std::optional<std::string> fetchKeys(const hls::Playlist& playlist) {
        std::vector<PieceRequest> keyRequests;
        std::vector<std::string> keyAddresses;
        for (const auto& segment : playlist.segments)
            if (segment.key.method == hls::SegmentKey::Method::Aes128 && !keys_.count(segment.key.address) &&
                std::find(keyAddresses.begin(), keyAddresses.end(), segment.key.address) == keyAddresses.end()) {
                keyAddresses.push_back(segment.key.address);
                keyRequests.push_back({segment.key.address, std::nullopt});
            }
        if (keyRequests.empty()) return std::nullopt;
        std::vector<std::size_t> all(keyRequests.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        SegmentFetchSettings fetchSettings;
        fetchSettings.userAgent = settings_.userAgent;
        fetchSettings.maxPieceBytes = 1024;
        const auto result = fetchPieces(
            keyRequests, all, fetchSettings, stop_,
            [&](std::size_t index, std::string&& body) -> std::string {
                if (body.size() != 16) return "The stream's key is not an AES-128 key: " + keyAddresses[index];
                keys_[keyAddresses[index]] = std::move(body);
                return {};
            },
            [](std::int64_t) {}, [](int) {}, tick_);
        if (result.status == SegmentFetchStatus::Complete) return std::nullopt;
        if (result.status == SegmentFetchStatus::Stopped) return std::string();
        return "Could not read the stream's key: " + result.error;
    }

    std::string takePiece(std::size_t index, std::string&& body) {
        const std::size_t segmentIndex = hasInit_ ? index - 1 : index;
        const bool isInit = hasInit_ && index == 0;
        std::string bytes = std::move(body);
        if (!isInit && segments_[segmentIndex].key.method == hls::SegmentKey::Method::Aes128) {
            const auto& key = segments_[segmentIndex].key;
            const auto iv = key.iv ? *key.iv : hls::sequenceIv(segments_[segmentIndex].sequence);
            auto plain = decryptAes128(bytes, keys_[key.address], iv);
            if (!plain) return "A segment could not be decrypted with the stream's key: " + requests_[index].address;
            meter_.addDone(static_cast<std::int64_t>(plain->size()) - static_cast<std::int64_t>(bytes.size()));
            bytes = std::move(*plain);
        }
        if (!writeFile(pieces_[index], bytes)) return "Could not write " + pieces_[index];
        state_.done.insert(index);
        if (!writeState(statePath_, state_)) return "Could not write " + statePath_;
        updateTotal();
        return {};
    }

    // The total is not known before every segment has come: it is estimated from those done.
    void updateTotal() {
        const auto done = state_.done.size();
        if (done == 0) return;
        const auto bytes = meter_.done();
        meter_.setTotal(done == pieces_.size() ? bytes : bytes / static_cast<std::int64_t>(done) * static_cast<std::int64_t>(pieces_.size()));
    }

    JobResult join() {
        const auto joined = joinIntoMp4(pieces_, partPath_);
        if (!joined.ok) return ended(JobOutcome::Failed, joined.error);
        markOrigin(partPath_, origin_);  // the marks go with the file through the rename
        std::error_code ec;
        fs::rename(partPath_, path_, ec);
        part_.close();
        if (ec) return ended(JobOutcome::Failed, "Could not rename " + partPath_ + ": " + ec.message());
        fs::remove_all(pieceFolder_, ec);
        fs::remove(statePath_, ec);
        meter_.setTotal(meter_.done());
        tick_();
        return ended(JobOutcome::Completed);
    }

    const JobSettings& settings_;
    ProgressMeter& meter_;
    CancelToken& stop_;
    std::function<void()> tick_;
    DownloadOrigin origin_;
    platform::RandomAccessFile part_;  // open and locked while the job runs
    std::string path_, partPath_, statePath_, pieceFolder_;
    std::vector<PieceRequest> requests_;
    std::vector<std::string> pieces_;
    std::vector<hls::Segment> segments_;
    bool hasInit_ = false;
    HlsState state_;
    std::int64_t resumedBytes_ = 0;
    std::map<std::string, std::string> keys_;
};

}  // namespace

bool isPlaylistAddress(const std::string& address) {
    const std::string ext = addressExtension(address);
    return ext == "m3u8" || ext == "m3u";
}

JobResult runHlsJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick) {
    return HlsJob(settings, meter, stop, std::move(tick)).run();
}

}  // namespace zenvira::components
