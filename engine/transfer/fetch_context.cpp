#include "engine/transfer/fetch_context.h"

#include <algorithm>

namespace zenvira::components {

bool pauseFor(FetchContext& context, std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!context.stop.cancelled()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) return true;
        context.tick();
        context.loop.wait(std::min(kLoopTick, std::chrono::ceil<std::chrono::milliseconds>(until - now)));
    }
    return false;
}

}  // namespace zenvira::components
