#include "engine/transfer/stream_link.h"

#include <algorithm>
#include <filesystem>

namespace zenvira::components {

void StreamLink::setFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
}

void StreamLink::begin(std::int64_t size, const ByteRanges& kept) {
    {
        std::lock_guard lock(mutex_);
        size_ = size;
        done_ = kept;
        begun_ = true;
    }
    changed_.notify_all();
}

void StreamLink::arrived(ByteRange range) {
    if (range.length() <= 0) return;
    {
        std::lock_guard lock(mutex_);
        done_.add(range);
    }
    changed_.notify_all();
}

void StreamLink::end(bool wholeFile, const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        whole_ = wholeFile;
        if (!path.empty()) path_ = path;
        // A server that never said the size: the file is what came, from its start.
        if (wholeFile && size_ < 0 && !done_.items().empty() && done_.items().front().begin == 0)
            size_ = done_.items().front().end;
        if (wholeFile && size_ >= 0) done_.add({0, size_});
    }
    changed_.notify_all();
}

namespace {

std::string holdPath(const std::string& pieceFolder) { return pieceFolder + "/.kept"; }

}  // namespace

bool removeUnkeptPieces(const std::string& pieceFolder) {
    std::error_code ignored;
    if (!std::filesystem::exists(pieceFolder, ignored)) return true;
    platform::RandomAccessFile hold;
    std::string error;
    if (!hold.open(holdPath(pieceFolder), false, error) ||
        hold.tryLock(error) != platform::RandomAccessFile::Lock::Taken)
        return false;
    hold.close();
    return std::filesystem::remove_all(pieceFolder, ignored) > 0 && !ignored;
}

StreamLink::~StreamLink() { releasePieces(); }

void StreamLink::finished(const std::string& path, std::int64_t size, const std::string& pieceFolder) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        whole_ = true;
        path_ = path;
        size_ = size;
        done_ = {};
        if (size > 0) done_.add({0, size});
        if (fragments_ && !pieceFolder.empty()) {
            keptPieceFolder_ = pieceFolder;
            auto hold = std::make_unique<platform::RandomAccessFile>();
            std::string error;  // without the lock the pieces are only less well guarded
            if (hold->open(holdPath(pieceFolder), false, error) &&
                hold->tryLock(error) == platform::RandomAccessFile::Lock::Taken)
                keptHold_ = std::move(hold);
        }
    }
    changed_.notify_all();
}

void StreamLink::releasePieces() {
    std::string folder;
    {
        std::lock_guard lock(mutex_);
        folder.swap(keptPieceFolder_);
        keptHold_.reset();
    }
    if (folder.empty()) return;
    std::error_code ignored;  // what cannot be removed now stays; the download is whole anyway
    std::filesystem::remove_all(folder, ignored);
    changed_.notify_all();
}

bool StreamLink::keepsPieces() const {
    std::lock_guard lock(mutex_);
    return !keptPieceFolder_.empty();
}

void StreamLink::beginFragments(StreamFragments fragments, std::vector<std::string> piecePaths,
                                const std::vector<std::size_t>& kept) {
    {
        std::lock_guard lock(mutex_);
        piecePaths_ = std::move(piecePaths);
        piecesThere_.assign(piecePaths_.size(), false);
        for (const std::size_t piece : kept)
            if (piece < piecesThere_.size()) piecesThere_[piece] = true;
        placeOfPiece_.assign(piecePaths_.size(), {fragments.tracks.size(), 0});
        for (std::size_t track = 0; track < fragments.tracks.size(); ++track) {
            const auto& pieces = fragments.tracks[track].fragments;
            for (std::size_t at = 0; at < pieces.size(); ++at)
                if (pieces[at] < placeOfPiece_.size()) placeOfPiece_[pieces[at]] = {track, at};
        }
        fragments_ = std::move(fragments);
    }
    changed_.notify_all();
}

void StreamLink::pieceArrived(std::size_t piece) {
    {
        std::lock_guard lock(mutex_);
        if (piece < piecesThere_.size()) piecesThere_[piece] = true;
    }
    changed_.notify_all();
}

std::vector<std::size_t> StreamLink::wantedPieces() const {
    std::lock_guard lock(mutex_);
    std::vector<std::size_t> pieces;
    if (ended_ || !fragments_) return pieces;
    const auto want = [&](std::size_t piece) {
        if (piece < piecesThere_.size() && !piecesThere_[piece] &&
            std::find(pieces.begin(), pieces.end(), piece) == pieces.end())
            pieces.push_back(piece);
    };
    // A map: the reader that came first, the piece it waits for first.
    for (const auto& [reader, piece] : pieceReaders_) {
        want(piece);
        if (piece >= placeOfPiece_.size()) continue;
        const auto [track, at] = placeOfPiece_[piece];
        if (track >= fragments_->tracks.size()) continue;  // an initialisation section
        const auto& list = fragments_->tracks[track].fragments;
        for (std::size_t next = at + 1; next < list.size() && next <= at + kPiecesAhead; ++next) want(list[next]);
    }
    return pieces;
}

std::vector<ByteRange> StreamLink::wanted() const {
    std::lock_guard lock(mutex_);
    std::vector<ByteRange> regions;
    if (ended_ || size_ < 0) return regions;
    for (const auto& [reader, position] : readers_) {
        // The region starts where the bytes on the disk from the reader's position end.
        std::int64_t from = position;
        for (const auto& range : done_.items())
            if (range.begin <= from && range.end > from) from = range.end;
        const std::int64_t to = std::min(size_, position + kReadAhead);
        if (from < to) regions.push_back({from, to});
    }
    std::sort(regions.begin(), regions.end(), [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    return regions;
}

int StreamLink::openReader(std::int64_t position) {
    std::lock_guard lock(mutex_);
    const int reader = nextReader_++;
    readers_[reader] = position;
    return reader;
}

void StreamLink::moveReader(int reader, std::int64_t position) {
    std::lock_guard lock(mutex_);
    if (auto found = readers_.find(reader); found != readers_.end()) found->second = position;
}

void StreamLink::closeReader(int reader) {
    std::lock_guard lock(mutex_);
    readers_.erase(reader);
    pieceReaders_.erase(reader);
}

int StreamLink::openPieceReader(std::size_t piece) {
    std::lock_guard lock(mutex_);
    const int reader = nextReader_++;
    pieceReaders_[reader] = piece;
    return reader;
}

std::optional<StreamFragments> StreamLink::fragments() const {
    std::lock_guard lock(mutex_);
    return fragments_;
}

StreamLink::PieceAvailable StreamLink::waitForPiece(std::size_t piece, Clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    const auto there = [&] { return piece < piecesThere_.size() && piecesThere_[piece]; };
    changed_.wait_until(lock, deadline, [&] { return ended_ || there(); });
    PieceAvailable available;
    available.there = there();
    available.ended = ended_;
    if (piece < piecePaths_.size()) available.path = piecePaths_[piece];
    return available;
}

bool StreamLink::readyLocked(std::int64_t position) const {
    if (ended_ || fragments_) return true;
    if (size_ >= 0 && position >= size_) return true;
    return std::any_of(done_.items().begin(), done_.items().end(),
                       [position](const ByteRange& r) { return r.begin <= position && r.end > position; });
}

StreamLink::Available StreamLink::availableLocked(std::int64_t position) const {
    Available available;
    available.size = size_;
    available.begun = begun_;
    available.path = path_;
    available.ended = ended_;
    available.whole = whole_;
    available.fragments = fragments_.has_value();
    available.pieces = fragments_ && (!whole_ || !keptPieceFolder_.empty());
    for (const auto& range : done_.items())
        if (range.begin <= position && range.end > position) available.bytes = range.end - position;
    return available;
}

StreamLink::Available StreamLink::waitFor(std::int64_t position, Clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return readyLocked(position); });
    return availableLocked(position);
}

StreamLink::Available StreamLink::now(std::int64_t position) const {
    std::lock_guard lock(mutex_);
    return availableLocked(position);
}

}  // namespace zenvira::components
