#pragma once
// Holds the transfers of one job to a total rate: each piece of body that arrives is counted,
// and when the job is ahead of its allowance the transfer thread waits (in short steps, so a
// Stop is seen at once). While it waits, no transfer of the job reads, so TCP holds the
// servers back: the total over all connections stays at the rate, however many there are.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

class RatePacer {
public:
    RatePacer(std::int64_t bytesPerSecond, const CancelToken& stop);
    // `bytes` have just arrived.
    void pace(std::size_t bytes);

private:
    using Clock = std::chrono::steady_clock;
    std::int64_t bytesPerSecond_;
    const CancelToken& stop_;
    Clock::time_point start_;
    std::int64_t received_ = 0;
};

}  // namespace zenvira::components
