#include "engine/transfer/progress_meter.h"

#include <algorithm>

namespace zenvira::components {

namespace {

constexpr auto kRateWindow = std::chrono::seconds(3);

double secondsBetween(ProgressMeter::Clock::time_point from, ProgressMeter::Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

void ProgressMeter::start(Clock::time_point now) {
    done_ = 0;
    total_ = -1;
    resumed_ = 0;
    connections_ = 0;
    std::lock_guard lock(mutex_);
    started_ = now;
    finished_ = now;
    running_ = true;
    window_.clear();
    window_.push_back({now, 0});
    rate_ = 0;
    notice_.clear();
}

void ProgressMeter::setResumed(std::int64_t bytes) {
    // Kept bytes count as done but not as speed: the window restarts from them.
    resumed_.store(bytes, std::memory_order_relaxed);
    done_.store(bytes, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    window_.clear();
    window_.push_back({Clock::now(), 0});
}

void ProgressMeter::sample(Clock::time_point now) {
    const std::int64_t bytes = sessionBytes();
    std::lock_guard lock(mutex_);
    window_.push_back({now, bytes});
    while (window_.size() > 2 && now - window_[1].at >= kRateWindow) window_.pop_front();
    const double span = secondsBetween(window_.front().at, now);
    if (span > 0) rate_ = std::max(0.0, static_cast<double>(bytes - window_.front().bytes) / span);
}

void ProgressMeter::finish(Clock::time_point now) {
    const std::int64_t bytes = sessionBytes();
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
    finished_ = now;
    const double elapsed = secondsBetween(started_, now);
    rate_ = elapsed > 0 ? std::max(0.0, static_cast<double>(bytes) / elapsed) : 0;
}

DownloadProgress ProgressMeter::snapshot() const {
    DownloadProgress figures;
    figures.BytesDone = done();
    figures.BytesTotal = total_.load(std::memory_order_relaxed);
    figures.BytesResumed = resumed_.load(std::memory_order_relaxed);
    figures.Connections = connections_.load(std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    figures.BytesPerSecond = rate_;
    figures.Notice = notice_;
    figures.ElapsedSeconds = secondsBetween(started_, running_ ? Clock::now() : finished_);
    const std::int64_t left = figures.BytesTotal - figures.BytesDone;
    if (figures.BytesTotal >= 0 && left > 0 && rate_ > 0) figures.RemainingSeconds = static_cast<double>(left) / rate_;
    return figures;
}

}  // namespace zenvira::components
