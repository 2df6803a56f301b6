#pragma once
// Where a running download meets whoever watches it while it comes. The download says which
// file holds its bytes, its size once known, every range as it lands on the disk and how it
// ended; a reader (the local stream's server, on threads of its own) waits for the bytes it
// is about to send and says where it reads, so the download fetches those regions first.
// A download in fragments (HLS, DASH) is watched by its pieces instead: the download says its
// tracks and each piece's file as it comes; a reader waits for a piece, and the pieces readers
// wait for (and the few after each) are fetched first.
// Thread-safe: the download's thread writes, any number of reader threads read.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/policy/byte_ranges.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

// One track of a download in fragments, in playing order; pieces are the download's numbers.
struct StreamTrack {
    bool sound = false;  // sound alone, played with the first track
    std::optional<std::size_t> initialisation;  // the piece of its initialisation section
    std::vector<std::size_t> fragments;
    std::vector<double> seconds;  // of each fragment
    std::string extension;  // what its fragments are: "ts", "m4s", "aac"...
};

struct StreamFragments {
    std::vector<StreamTrack> tracks;  // the first is the picture (or the only one)
    std::int64_t bitsPerSecond = 0;  // of all tracks together, 0 when unknown
};

class StreamLink {
public:
    StreamLink() = default;
    // Removes the pieces kept after the join.
    ~StreamLink();
    StreamLink(const StreamLink&) = delete;
    StreamLink& operator=(const StreamLink&) = delete;

    using Clock = std::chrono::steady_clock;
    // How far past its position a reader's region reaches: what a player buffers ahead.
    static constexpr std::int64_t kReadAhead = 2 * 1024 * 1024;
    // How many pieces after the one a reader waits for are wanted with it, in its track.
    static constexpr std::size_t kPiecesAhead = 3;

    // What a reader may send now from one position.
    struct Available {
        std::int64_t size = -1;  // the file's size, -1 while unknown
        bool begun = false;  // the download's bytes come (its size may stay unknown to the end)
        std::int64_t bytes = 0;  // bytes on the disk from the position on, in one run
        std::string path;  // the file that holds them
        bool ended = false;  // the download ended: nothing more comes
        bool whole = false;  // ... and the file is complete under `path`
        bool fragments = false;  // a download in fragments
        bool pieces = false;  // ... whose pieces answer: it runs, or they are kept after the join
    };

    // What a reader of a piece may send.
    struct PieceAvailable {
        bool there = false;  // on the disk, whole, under `path`
        std::string path;
        bool ended = false;  // the download ended: a piece not there does not come
    };

    // The download's side.
    // The file the bytes go to (the part file, then the finished file once renamed).
    void setFile(const std::string& path);
    // The size once the server said it (-1: it did not), and what is on the disk already.
    void begin(std::int64_t size, const ByteRanges& kept);
    void arrived(ByteRange range);
    // The download ended; `wholeFile`: complete at `path`.
    void end(bool wholeFile, const std::string& path);
    // The download ended whole: the file at `path`, of `size` bytes, has every byte. A download
    // in fragments may leave them in `pieceFolder` for the players that read them still: the
    // link removes that folder on releasePieces(), or when it goes.
    void finished(const std::string& path, std::int64_t size, const std::string& pieceFolder = {});
    // The kept pieces are removed; from now on only the finished file answers.
    void releasePieces();
    // Whether the pieces of a download that ended whole are still kept.
    bool keepsPieces() const;
    // The regions readers are about to read, nearest the front of each reader first; empty
    // when nobody reads.
    std::vector<ByteRange> wanted() const;

    // A download in fragments: its tracks, the file of every piece and those on the disk.
    void beginFragments(StreamFragments fragments, std::vector<std::string> piecePaths,
                        const std::vector<std::size_t>& kept);
    void pieceArrived(std::size_t piece);
    // The pieces readers wait for and the few after each in its track, not on the disk yet,
    // the earliest asked first.
    std::vector<std::size_t> wantedPieces() const;

    // A reader's side.
    // A reader starts at `position`; the number names it in the calls below.
    int openReader(std::int64_t position);
    void moveReader(int reader, std::int64_t position);
    void closeReader(int reader);
    // What is there from `position` on; waits until something is, the size is known, or the
    // download ended, at most until `deadline`.
    Available waitFor(std::int64_t position, Clock::time_point deadline) const;
    Available now(std::int64_t position) const;
    // The tracks of a download in fragments; none before they are known, or for one file.
    std::optional<StreamFragments> fragments() const;
    // A reader of a piece: the piece is wanted until the reader closes.
    int openPieceReader(std::size_t piece);
    // Waits until the piece is on the disk or the download ended, at most until `deadline`.
    PieceAvailable waitForPiece(std::size_t piece, Clock::time_point deadline) const;

private:
    Available availableLocked(std::int64_t position) const;
    bool readyLocked(std::int64_t position) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string path_;
    std::int64_t size_ = -1;
    ByteRanges done_;
    bool begun_ = false;
    bool ended_ = false;
    bool whole_ = false;
    std::map<int, std::int64_t> readers_;  // reader -> where it reads
    std::optional<StreamFragments> fragments_;
    std::vector<std::string> piecePaths_;
    std::string keptPieceFolder_;  // the pieces kept after the join, "" once released
    std::unique_ptr<platform::RandomAccessFile> keptHold_;  // locked while they are kept
    std::vector<bool> piecesThere_;
    std::vector<std::pair<std::size_t, std::size_t>> placeOfPiece_;  // track, position in it
    std::map<int, std::size_t> pieceReaders_;  // reader -> the piece it waits for
    int nextReader_ = 1;
};

// The pieces a finished download left in `pieceFolder`, removed unless a link still keeps
// them for its players: a link holds a lock in the folder while it does, and a process that
// died left none. True when the folder is gone.
bool removeUnkeptPieces(const std::string& pieceFolder);

}  // namespace zenvira::components
