#pragma once
// Connections open to each host over all downloads of this process, so that however many
// jobs run, one host never gets more than kMostPerHost of them. The downloads that hold a
// HostShare split that budget evenly: the first one does not take it all, leaving the others
// one connection each while its own wait for answers.
#include <string>

namespace zenvira::components {

class HostConnections {
public:
    static constexpr int kMostPerHost = 16;

    // Takes a place for one more connection to `host`; `evenIfFull` for a download's first
    // connection, so that every job goes on.
    static bool take(const std::string& host, bool evenIfFull);
    static void give(const std::string& host);
    static int open(const std::string& host);
};

// One download's claim on a host's budget while it lives.
class HostShare {
public:
    explicit HostShare(std::string host);
    ~HostShare();
    HostShare(const HostShare&) = delete;
    HostShare& operator=(const HostShare&) = delete;

    // The most connections this download should have now: the budget over the downloads
    // sharing it, rounded up (the total stays within the budget all the same).
    int ceiling() const;

private:
    std::string host_;
};

}  // namespace zenvira::components
