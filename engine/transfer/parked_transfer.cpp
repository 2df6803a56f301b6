#include "engine/transfer/parked_transfer.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace zenvira::components {

namespace {

std::mutex& parkMutex() {
    static std::mutex mutex;
    return mutex;
}

// Left to the process's end on purpose: its transfers must not outlive libcurl's teardown.
std::vector<ParkedTransfer>& parked() {
    static auto* transfers = new std::vector<ParkedTransfer>();
    return *transfers;
}

// Under the lock: answers nobody took in time are let go, with their connections.
void dropStale(std::vector<ParkedTransfer>& transfers, std::chrono::steady_clock::time_point now) {
    std::erase_if(transfers, [now](const ParkedTransfer& p) { return now - p.parkedAt > kParkedFor; });
}

}  // namespace

void parkTransfer(ParkedTransfer transfer) {
    std::vector<ParkedTransfer> gone;  // let go outside the lock
    const std::lock_guard lock(parkMutex());
    auto& transfers = parked();
    for (auto it = transfers.begin(); it != transfers.end();) {
        if (it->address == transfer.address || transfer.parkedAt - it->parkedAt > kParkedFor) {
            gone.push_back(std::move(*it));
            it = transfers.erase(it);
        } else {
            ++it;
        }
    }
    transfers.push_back(std::move(transfer));
}

std::optional<ParkedTransfer> takeParkedTransfer(const std::string& address) {
    const std::lock_guard lock(parkMutex());
    auto& transfers = parked();
    dropStale(transfers, std::chrono::steady_clock::now());
    const auto it =
        std::find_if(transfers.begin(), transfers.end(), [&](const ParkedTransfer& p) { return p.address == address; });
    if (it == transfers.end()) return std::nullopt;
    ParkedTransfer taken = std::move(*it);
    transfers.erase(it);
    return taken;
}

}  // namespace zenvira::components
