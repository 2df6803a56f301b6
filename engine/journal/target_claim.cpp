#include "engine/journal/target_claim.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "engine/journal/file_name.h"
#include "platform/file_system.h"

namespace zenvira::components {

namespace {

bool exists(const std::string& path) {
    std::error_code code;
    return std::filesystem::exists(std::filesystem::symlink_status(path, code));
}

void removeFile(const std::string& path) {
    std::error_code code;
    std::filesystem::remove(path, code);
}

bool keptForAnother(const std::string& statePath, const DownloadOrigin& origin) {
    const auto kept = readPartState(statePath);
    return kept && !kept->origin.sameDownload(origin);
}


}  // namespace

bool producedBy(const std::string& path, const DownloadOrigin& origin) {
    const auto url = platform::fileMark(path, kOriginMark);
    if (!url || *url != origin.url()) return false;
    return platform::fileMark(path, kQualityMark).value_or(std::string()) == origin.quality;
}

void markOrigin(const std::string& path, const DownloadOrigin& origin) {
    platform::setFileMark(path, kOriginMark, origin.url());
    platform::setFileMark(path, kQualityMark, origin.quality);
}

std::optional<bool> markedFor(const std::string& path, const DownloadOrigin& origin) {
    if (!platform::fileMark(path, kOriginMark)) return std::nullopt;
    return producedBy(path, origin);
}

namespace {

// Whose a part another download holds is, by its marks. That download marks it the moment
// after it takes the lock, so a part found held without marks is looked at again shortly
// before it counts as unmarked (a file system without marks, or an older download's part).
std::optional<bool> holderMarkedFor(const std::string& partPath, const DownloadOrigin& origin) {
    constexpr int kLooks = 20;
    for (int look = 1;; ++look) {
        if (auto marked = markedFor(partPath, origin)) return marked;
        if (look == kLooks) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

ClaimedTarget claimTarget(const std::string& folder, const std::string& name, const DownloadOrigin& origin,
                          platform::RandomAccessFile& part) {
    const std::size_t limit = platform::fileNameLimit(folder);
    ClaimedTarget target;
    for (int number = 1; number <= kMostNumbers; ++number) {
        target.path = folder + "/" + numberedFileName(name, number, limit);
        target.partPath = target.path + ".part";
        target.statePath = target.partPath + ".state";
        if (exists(target.path)) {
            if (!producedBy(target.path, origin)) continue;
            target.kind = ClaimedTarget::Kind::AlreadyComplete;
            return target;
        }
        const bool partExisted = exists(target.partPath);
        if (!part.open(target.partPath, false, target.error)) {
            target.kind = ClaimedTarget::Kind::Failed;
            target.error = "Cannot create the file " + target.path + ": " + target.error;
            return target;
        }
        const auto lock = part.tryLock(target.error);
        // A file system without locks still lets the download go on, unguarded.
        const bool free = lock != platform::RandomAccessFile::Lock::Busy;
        // The other job may have finished, or another download kept this part.
        const bool finished = free && exists(target.path);
        // Only an empty part this job made itself and holds is removed again.
        const bool madeHere = free && !partExisted;
        if (keptForAnother(target.statePath, origin) || (finished && !producedBy(target.path, origin)) ||
            // A running download of another video: its marks are there from its claim on,
            // before it has a state to show whose the part is.
            (!free && holderMarkedFor(target.partPath, origin) == false)) {
            if (madeHere) removeFile(target.partPath);
            part.close();
            continue;
        }
        if (finished || !free) {
            if (madeHere) removeFile(target.partPath);
            part.close();
            target.kind = finished ? ClaimedTarget::Kind::AlreadyComplete : ClaimedTarget::Kind::Busy;
            return target;
        }
        markOrigin(target.partPath, origin);  // so that a download of another video passes it over
        target.error.clear();
        target.kind = ClaimedTarget::Kind::Claimed;
        return target;
    }
    target.kind = ClaimedTarget::Kind::Failed;
    target.error = "Cannot find a free name for " + name + " in " + folder;
    return target;
}

}  // namespace zenvira::components
