#include "engine/journal/part_journal.h"

namespace zenvira::components {

PartJournal::PartJournal(platform::RandomAccessFile& file, std::string statePath, PartState state)
    : file_(file),
      statePath_(std::move(statePath)),
      state_(std::move(state)),
      cadence_(Clock::now(), state_.done.total()),
      writer_([this] { writerLoop(); }) {}

PartJournal::~PartJournal() { stop(); }

void PartJournal::hand(ByteRanges done) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(done);  // a newer entry replaces one not yet written
    }
    wake_.notify_one();
}

void PartJournal::writerLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return quit_ || pending_; });
        if (quit_) return;
        ByteRanges done = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        write(done);
        lock.lock();
    }
}

void PartJournal::write(const ByteRanges& done) {
    std::string error;
    if (!file_.flush(error)) return;  // data not surely on the disk: keep the older entry
    state_.done = done;
    writePartState(statePath_, state_);
}

void PartJournal::stop() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) writer_.join();
}

void PartJournal::finish(const ByteRanges& done) {
    stop();
    write(done);
}

}  // namespace zenvira::components
