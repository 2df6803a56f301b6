#pragma once
// How big a download of fragments will be, before every fragment has come: a playlist or a
// manifest says how many seconds each fragment holds but not its bytes. Each track's total
// is what its fragments done weigh for the seconds they hold, stretched to all its seconds;
// until each track has a fragment, the bandwidth the playlist announces says it.
#include <cstdint>
#include <vector>

namespace zenvira::components {

struct TrackFigures {
    std::int64_t doneBytes = 0;
    double doneSeconds = 0;  // of the fragments done (an initialisation section holds none)
    double allSeconds = 0;
    bool complete = false;   // every fragment of the track is done
};

// -1 while nothing says the size. `announcedBytes` is the announced bandwidth times the
// duration (0 when none was announced).
std::int64_t estimatedFragmentTotal(const std::vector<TrackFigures>& tracks, std::int64_t announcedBytes);

}  // namespace zenvira::components
