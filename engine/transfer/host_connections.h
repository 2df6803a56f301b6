#pragma once
// Connections open to each host over all downloads of this process, so that however many
// jobs run, one host never gets more than kMostPerHost of them.
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

}  // namespace zenvira::components
