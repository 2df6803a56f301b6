#pragma once
// The figures of a running download. The transfer thread counts bytes as they are written
// (atomics, nothing else on that path) and takes a rate sample about ten times a second; the
// UI thread reads a snapshot whenever it likes.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace zenvira::components {

struct DownloadProgress {
    std::int64_t BytesDone = 0;    // bytes of the file in place so far, kept ones included
    std::int64_t BytesTotal = -1;  // size of the resource; -1 while the server has not said
    std::int64_t BytesResumed = 0; // bytes taken over from an earlier, unfinished run
    std::int64_t Connections = 0;  // connections transferring right now
    double BytesPerSecond = 0;     // over the last three seconds; the average once finished
    double ElapsedSeconds = 0;     // since Start
    double RemainingSeconds = 0;   // at the current rate; 0 while size or rate is unknown
    std::string Notice;            // something the user should know besides the figures
};

class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;

    void start(Clock::time_point now);
    void addDone(std::int64_t bytes) { done_.fetch_add(bytes, std::memory_order_relaxed); }
    // A transfer that has to start over from its first byte gives back what it had counted.
    void takeBackDone(std::int64_t bytes) { done_.fetch_sub(bytes, std::memory_order_relaxed); }
    void setTotal(std::int64_t total) { total_.store(total, std::memory_order_relaxed); }
    void setResumed(std::int64_t bytes);
    void setConnections(int count) { connections_.store(count, std::memory_order_relaxed); }
    void setNotice(const std::string& notice) {
        std::lock_guard lock(mutex_);
        notice_ = notice;
    }
    std::int64_t done() const { return done_.load(std::memory_order_relaxed); }

    // Worker side, about ten times a second.
    void sample(Clock::time_point now);
    // Freezes the elapsed time and turns the rate into the session's average.
    void finish(Clock::time_point now);

    DownloadProgress snapshot() const;

private:
    struct Sample {
        Clock::time_point at;
        std::int64_t bytes;
    };
    std::int64_t sessionBytes() const { return done() - resumed_.load(std::memory_order_relaxed); }

    std::atomic<std::int64_t> done_{0};
    std::atomic<std::int64_t> total_{-1};
    std::atomic<std::int64_t> resumed_{0};
    std::atomic<int> connections_{0};

    mutable std::mutex mutex_;  // guards what follows
    Clock::time_point started_{};
    Clock::time_point finished_{};
    bool running_ = false;
    std::deque<Sample> window_;
    double rate_ = 0;
    std::string notice_;
};

}  // namespace zenvira::components
