#pragma once
// What a download in fragments (the segments of an HLS stream) keeps across a stop, a crash
// or a kill: `<target>.part.hls`, a journal of what it trusted. Its head names the playlist
// and the validators it was read with (ETag, Last-Modified, a digest of its text); then one
// line is appended for every fragment on the disk, with its length and its own validator.
//
// While a run goes on, lines are only appended (a run starts by writing the journal afresh,
// once, with what it keeps), so the work is linear in the fragments. As with the
// part journal, every half second or every 8 MiB the fragments done so far go to a writer
// thread, which first puts their files on the disk and only then appends the lines that name
// them: a crash loses at most one interval, and a line never names a fragment not on the disk.
// A line cut by a crash is ignored.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/policy/journal_cadence.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

// The playlist a journal belongs to, as it was read.
struct TrustedPlaylist {
    std::string address;
    std::string etag;
    std::string lastModified;
    std::string digest;  // of the playlist's text

    // False when the server says, by any validator both readings have, that it changed.
    bool sameAs(const TrustedPlaylist& other) const;
};

struct FragmentRecord {
    std::size_t index = 0;
    std::int64_t length = 0;  // bytes of its file
    std::string validator;  // the ETag, else "modified " and the Last-Modified; may be empty
};

struct FragmentState {
    TrustedPlaylist playlist;
    std::map<std::size_t, FragmentRecord> done;
};

// What the journal at `path` says; nothing when it is missing or not a journal.
std::optional<FragmentState> readFragmentState(const std::string& path);

class FragmentJournal {
public:
    using Clock = std::chrono::steady_clock;

    FragmentJournal() = default;
    ~FragmentJournal();
    FragmentJournal(const FragmentJournal&) = delete;
    FragmentJournal& operator=(const FragmentJournal&) = delete;

    // Writes `state` as the journal's start, durably, and starts the writer.
    bool begin(const std::string& path, const FragmentState& state, std::string& error);
    // Transfer thread: `file` holds the fragment, written but maybe not yet on the disk.
    void add(const FragmentRecord& record, const std::string& file);
    // Transfer thread, on every turn: hands what is due to the writer.
    void tick();
    // Writes everything added, data first, and returns once it is on the disk; stops the writer.
    void finish();

private:
    struct Entry {
        FragmentRecord record;
        std::string file;
    };
    void hand();
    void writerLoop();
    void write(const std::vector<Entry>& entries);
    void stopWriter();

    platform::RandomAccessFile journal_;
    std::vector<Entry> unhanded_;  // transfer thread only
    JournalCadence cadence_{Clock::now(), 0};  // the part journal's: half a second or 8 MiB
    std::int64_t addedBytes_ = 0;

    std::mutex mutex_;  // guards pending_ and quit_
    std::condition_variable wake_;
    std::vector<Entry> pending_;
    bool quit_ = false;
    std::thread writer_;
};

}  // namespace zenvira::components
