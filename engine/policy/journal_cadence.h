#pragma once
// How often the done ranges of a download are written down: every half second or every
// 8 MiB, whichever comes first, counted from the start. A crash loses at most that much,
// and a fast download does not write its journal on every turn.
#include <chrono>
#include <cstdint>

namespace zenvira::components {

class JournalCadence {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::milliseconds(500);
    static constexpr std::int64_t kIntervalBytes = 8 << 20;

    JournalCadence(Clock::time_point start, std::int64_t doneBytes) : last_(start), lastBytes_(doneBytes) {}

    // True when an entry is due; the entry is then counted as written.
    bool due(Clock::time_point now, std::int64_t doneBytes) {
        if (now - last_ < kInterval && doneBytes - lastBytes_ < kIntervalBytes) return false;
        last_ = now;
        lastBytes_ = doneBytes;
        return true;
    }

private:
    Clock::time_point last_;
    std::int64_t lastBytes_ = 0;
};

}  // namespace zenvira::components
