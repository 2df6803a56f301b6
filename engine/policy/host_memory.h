#pragma once
// The connection count a download settled on at a server, kept for a day so that the next
// download there starts at it instead of finding it again. HostMemory is what the engine asks;
// HostTable is the remembered counts themselves, as one line of text a server:
// "SERVER COUNT SECONDS_SINCE_1970".
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::components {

class HostMemory {
public:
    using WallClock = std::chrono::system_clock;
    static constexpr std::chrono::hours kKeptFor{24};

    virtual ~HostMemory() = default;
    // The count last settled on at `server` within a day before `now`.
    virtual std::optional<int> recall(const std::string& server, WallClock::time_point now) = 0;
    virtual void remember(const std::string& server, int connections, WallClock::time_point now) = 0;
};

class HostTable {
public:
    // A count remembered this recently is not written again unless it changed.
    static constexpr std::chrono::hours kRefreshAfter{1};
    // The most servers kept; the ones seen longest ago go first.
    static constexpr std::size_t kMostServers = 1000;

    // Lines that do not read as an entry are left out.
    static HostTable parse(std::string_view text);
    std::string text() const;

    std::optional<int> recall(const std::string& server, HostMemory::WallClock::time_point now) const;
    // False when nothing worth writing changed. Entries older than a day go.
    bool remember(const std::string& server, int connections, HostMemory::WallClock::time_point now);

private:
    struct Entry {
        std::string server;
        int connections = 0;
        std::int64_t seenAt = 0;  // seconds since 1970
    };
    static bool fresh(const Entry& entry, std::int64_t now);

    std::vector<Entry> entries_;
};

}  // namespace zenvira::components
