#include "engine/transfer/host_connections.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace zenvira::components {

namespace {

struct HostUse {
    int open = 0;
    int sharers = 0;
};

std::mutex mutex;
std::map<std::string, HostUse> uses;  // guarded by mutex

void forgetIfUnused(std::map<std::string, HostUse>::iterator it) {
    if (it->second.open <= 0 && it->second.sharers <= 0) uses.erase(it);
}

}  // namespace

bool HostConnections::take(const std::string& host, bool evenIfFull) {
    std::lock_guard lock(mutex);
    int& count = uses[host].open;
    if (count >= kMostPerHost && !evenIfFull) return false;
    ++count;
    return true;
}

void HostConnections::give(const std::string& host) {
    std::lock_guard lock(mutex);
    const auto it = uses.find(host);
    if (it == uses.end()) return;
    --it->second.open;
    forgetIfUnused(it);
}

int HostConnections::open(const std::string& host) {
    std::lock_guard lock(mutex);
    const auto it = uses.find(host);
    return it == uses.end() ? 0 : it->second.open;
}

HostShare::HostShare(std::string host) : host_(std::move(host)) {
    std::lock_guard lock(mutex);
    ++uses[host_].sharers;
}

HostShare::~HostShare() {
    std::lock_guard lock(mutex);
    const auto it = uses.find(host_);
    if (it == uses.end()) return;
    --it->second.sharers;
    forgetIfUnused(it);
}

int HostShare::ceiling() const {
    std::lock_guard lock(mutex);
    const auto it = uses.find(host_);
    const int sharers = it == uses.end() ? 1 : std::max(it->second.sharers, 1);
    return (HostConnections::kMostPerHost + sharers - 1) / sharers;
}

}  // namespace zenvira::components
