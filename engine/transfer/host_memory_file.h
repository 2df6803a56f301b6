#pragma once
// The connection counts remembered for the servers seen lately, kept in a small text file
// that every download of every process reads when it starts and rewrites whole, atomically,
// when it settles on a new count. The process's own is `zenvira/hosts` in the user's config
// folder; $ZENVIRA_HOSTS names another file, and an empty $ZENVIRA_HOSTS remembers nothing
// (each download then finds its count again).
#include <mutex>
#include <string>

#include "engine/policy/host_memory.h"

namespace zenvira::components {

class HostMemoryFile : public HostMemory {
public:
    // An empty `path` remembers nothing.
    explicit HostMemoryFile(std::string path);

    std::optional<int> recall(const std::string& server, WallClock::time_point now) override;
    void remember(const std::string& server, int connections, WallClock::time_point now) override;

    // Tests point it at a file of their own; an empty path remembers nothing.
    void setPath(std::string path);

    static HostMemoryFile& ofProcess();

private:
    HostTable load() const;

    std::string path_;
    std::mutex mutex_;  // downloads of one process remember one at a time
};

// "host:port" of an address, the port by its scheme when none is written; the address itself
// when it does not read as one.
std::string serverOfAddress(const std::string& url);

}  // namespace zenvira::components
