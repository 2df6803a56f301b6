#include "queue/partial_files.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/journal/file_name.h"
#include "engine/journal/part_state.h"
#include "engine/journal/target_claim.h"
#include "platform/file_system.h"
#include "platform/random_access_file.h"

namespace zenvira::queue {

namespace {

// How long a download that is being stopped may keep its part.
constexpr auto kLetGoWithin = std::chrono::seconds(5);
bool exists(const std::string& path) {
    std::error_code code;
    return std::filesystem::exists(std::filesystem::symlink_status(path, code));
}

// The part's marks say whose it is from its claim on; its state says so on a file system
// without marks. One that says nothing is taken as the entry's only under the entry's own name.
bool partOf(const std::string& part, const components::DownloadOrigin& origin, bool ownName) {
    if (const auto marked = components::markedFor(part, origin)) return *marked;
    if (const auto kept = components::readPartState(part + ".state")) return kept->origin.sameDownload(origin);
    return ownName;
}

// The part of `file`'s download: beside it, or beside the numbered name the claim went on to.
std::string partOfEntry(const std::string& file, const components::DownloadOrigin& origin) {
    const std::filesystem::path path(file);
    const std::string folder = path.parent_path().string(), name = path.filename().string();
    const std::size_t limit = platform::fileNameLimit(folder);
    for (int number = 1; number <= components::kMostNumbers; ++number) {
        const std::string candidate = number == 1 ? file : folder + "/" + components::numberedFileName(name, number, limit);
        const std::string part = candidate + ".part";
        const bool partThere = exists(part) || exists(part + ".state");
        // Claims take the numbers in turn: past the first free one there is none of this title.
        if (!partThere && !exists(candidate)) return {};
        if (partThere && partOf(part, origin, number == 1)) return part;
    }
    return {};
}

}  // namespace

bool removePartialFiles(const Entry& entry, std::string& error) {
    if (entry.file.empty()) return true;
    // As the entry's job names its download: the entry's address stands for the page.
    const components::DownloadOrigin origin{"", entry.address, qualityNameOf(entry.quality)};
    const std::string part = partOfEntry(entry.file, origin);
    if (part.empty()) return true;
    const std::string state = part + ".state";
    std::error_code code;
    if (std::filesystem::exists(part, code)) {
        // A running download holds its part locked; it lets go once it has stopped.
        platform::RandomAccessFile held;
        if (!held.open(part, false, error)) return false;
        const auto until = std::chrono::steady_clock::now() + kLetGoWithin;
        for (;;) {
            const auto lock = held.tryLock(error);
            if (lock == platform::RandomAccessFile::Lock::Taken) break;
            if (lock == platform::RandomAccessFile::Lock::Failed) return false;
            if (std::chrono::steady_clock::now() >= until) {
                error = "The partial file " + part + " is still being written";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!std::filesystem::remove(part, code) && code) {
            error = "Cannot delete " + part + ": " + code.message();
            return false;
        }
    }
    if (!std::filesystem::remove(state, code) && code) {
        error = "Cannot delete " + state + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace zenvira::queue
