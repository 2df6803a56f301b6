#include "engine/policy/fragment_total.h"

#include <algorithm>

namespace zenvira::components {

std::int64_t estimatedFragmentTotal(const std::vector<TrackFigures>& tracks, std::int64_t announcedBytes) {
    std::int64_t known = 0, done = 0;
    bool allKnown = !tracks.empty();
    for (const auto& track : tracks) {
        done += track.doneBytes;
        if (track.complete || track.allSeconds <= 0) {
            known += track.doneBytes;
            allKnown = allKnown && track.complete;
        } else if (track.doneSeconds > 0) {
            const double perSecond = static_cast<double>(track.doneBytes) / track.doneSeconds;
            known += std::max(track.doneBytes, static_cast<std::int64_t>(perSecond * track.allSeconds));
        } else {
            allKnown = false;
        }
    }
    if (allKnown) return known;
    // A track without a fragment yet: the announced size, never less than what has come.
    if (announcedBytes > 0) return std::max({announcedBytes, known, done});
    return done > 0 ? std::max(known, done) : -1;
}

}  // namespace zenvira::components
