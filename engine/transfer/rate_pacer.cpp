#include "engine/transfer/rate_pacer.h"

#include <algorithm>
#include <thread>

namespace zenvira::components {

RatePacer::RatePacer(std::int64_t bytesPerSecond, const CancelToken& stop)
    : bytesPerSecond_(std::max<std::int64_t>(bytesPerSecond, 1)), stop_(stop), start_(Clock::now()) {}

void RatePacer::pace(std::size_t bytes) {
    received_ += static_cast<std::int64_t>(bytes);
    const auto due = start_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(static_cast<double>(received_) / static_cast<double>(bytesPerSecond_)));
    constexpr auto kStep = std::chrono::milliseconds(20);
    for (auto now = Clock::now(); now < due && !stop_.cancelled(); now = Clock::now())
        std::this_thread::sleep_for(std::min<Clock::duration>(due - now, kStep));
}

}  // namespace zenvira::components
