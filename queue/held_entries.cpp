#include "queue/held_entries.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

namespace zenvira::queue {

namespace {

std::mutex heldMutex;
// By the queue's absolute path; an id once for each holder.
std::map<std::string, std::vector<EntryId>> held;

std::string keyOf(const std::string& queuePath) {
    std::error_code ignored;
    return std::filesystem::absolute(queuePath, ignored).lexically_normal().string();
}

}  // namespace

void holdEntries(const std::string& queuePath, const std::vector<EntryId>& ids) {
    std::lock_guard guard(heldMutex);
    auto& those = held[keyOf(queuePath)];
    those.insert(those.end(), ids.begin(), ids.end());
}

void releaseEntries(const std::string& queuePath, const std::vector<EntryId>& ids) {
    std::lock_guard guard(heldMutex);
    auto& those = held[keyOf(queuePath)];
    for (const EntryId id : ids)
        if (const auto at = std::find(those.begin(), those.end(), id); at != those.end()) those.erase(at);
}

std::vector<EntryId> heldEntries(const std::string& queuePath) {
    std::lock_guard guard(heldMutex);
    const auto found = held.find(keyOf(queuePath));
    return found == held.end() ? std::vector<EntryId>{} : found->second;
}

}  // namespace zenvira::queue
