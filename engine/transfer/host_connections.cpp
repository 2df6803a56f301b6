#include "engine/transfer/host_connections.h"

#include <map>
#include <mutex>

namespace zenvira::components {

namespace {

std::mutex mutex;
std::map<std::string, int> counts;  // guarded by mutex

}  // namespace

bool HostConnections::take(const std::string& host, bool evenIfFull) {
    std::lock_guard lock(mutex);
    int& count = counts[host];
    if (count >= kMostPerHost && !evenIfFull) return false;
    ++count;
    return true;
}

void HostConnections::give(const std::string& host) {
    std::lock_guard lock(mutex);
    const auto it = counts.find(host);
    if (it == counts.end()) return;
    if (--it->second <= 0) counts.erase(it);
}

int HostConnections::open(const std::string& host) {
    std::lock_guard lock(mutex);
    const auto it = counts.find(host);
    return it == counts.end() ? 0 : it->second;
}

}  // namespace zenvira::components
