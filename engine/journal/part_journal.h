#pragma once
// Keeps `<target>.part.state` in step with the bytes on the disk while data arrive, so a
// crash, a kill or a power cut loses at most the last interval: every half second or every
// 8 MiB, whichever comes first, the byte ranges done so far are handed to a writer thread, which first puts the
// part's data on the disk and only then replaces the state. A range is never recorded before
// its bytes are on the disk, and the transfer never waits for the disk.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/journal/part_state.h"
#include "engine/policy/journal_cadence.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

class PartJournal {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = JournalCadence::kInterval;
    static constexpr std::int64_t kIntervalBytes = JournalCadence::kIntervalBytes;

    // `file` must stay open until the journal is destroyed or finish() has returned.
    PartJournal(platform::RandomAccessFile& file, std::string statePath, PartState state);
    ~PartJournal();
    PartJournal(const PartJournal&) = delete;
    PartJournal& operator=(const PartJournal&) = delete;

    // Transfer thread, on every turn: `done` is asked for only when an entry is due.
    template <typename DoneRanges>
    void offer(std::int64_t doneBytes, const DoneRanges& done) {
        if (cadence_.due(Clock::now(), doneBytes)) hand(done());
    }
    // Transfer thread: `done` is written now, whatever the cadence (the caller keeps its own).
    void record(ByteRanges done) { hand(std::move(done)); }
    // Writes `done` now, data first, and returns once it is on the disk; stops the writer.
    void finish(const ByteRanges& done);
    // Stops the writer; the state on the disk stays as the last entry left it.
    void stop();

private:
    void hand(ByteRanges done);
    void writerLoop();
    void write(const ByteRanges& done);

    platform::RandomAccessFile& file_;
    std::string statePath_;
    PartState state_;
    JournalCadence cadence_;

    std::mutex mutex_;  // guards pending_ and quit_
    std::condition_variable wake_;
    std::optional<ByteRanges> pending_;
    bool quit_ = false;
    std::thread writer_;
};

}  // namespace zenvira::components
