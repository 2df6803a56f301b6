#pragma once
// One download of the queue as the store keeps it: what to fetch, where it goes, how far it
// is, and how it ended.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/quality.h"

namespace zenvira::queue {

enum class EntryState { Waiting, Running, Paused, Saved, Failed, Stopped };

// "waiting", "running", "paused", "saved", "failed", "stopped": as the store, the command line
// and the window say them.
std::string_view stateName(EntryState state);
std::optional<EntryState> stateOfName(std::string_view name);

using EntryId = std::int64_t;

struct Entry {
    EntryId id = 0;
    std::string address;  // the page (or the media link) to resolve when the entry runs
    int quality = 0;      // a frame height of the quality table; 0: the best the page offers
    std::string folder;   // where the file goes; empty: the usual download folder
    std::string page;     // the page the address was found on, when another than the address
    std::string title;    // what the page called it, once known
    EntryState state = EntryState::Waiting;
    std::string reason;   // why it failed, or what it waits for
    std::string file;     // the saved file, or the file it is being saved as
    std::int64_t received = 0;
    std::int64_t total = -1;  // -1 while unknown
    int attempts = 0;         // failed tries so far
    std::int64_t retryAt = 0; // milliseconds since the epoch before which it is not tried again
    std::int64_t added = 0;   // milliseconds since the epoch
    std::int64_t changed = 0;
};

// The quality an entry's download is known by, in its part's state and its file's marks: a
// caption of the quality table, or "best".
inline std::string qualityNameOf(int quality) {
    const auto button = base::qualityIndexOfHeight(quality);
    return button ? std::string(base::kQualities[static_cast<std::size_t>(*button)].caption) : std::string("best");
}

}  // namespace zenvira::queue
