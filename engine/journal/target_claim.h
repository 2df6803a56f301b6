#pragma once
// Finds the name a download may use in its folder and takes it. The plain name is used when
// it is free or holds this download's own unfinished part; a finished file or a kept part of
// another download moves it on to "NAME (2)", "NAME (3)"... A finished file that this very
// download produced (its origin mark says so) means there is nothing left to fetch.
//
// The `.part` is held under an exclusive lock for as long as the file stays open, so a
// second job for the same download, in this process or another, is turned away without
// touching anything; the system drops the lock when a process dies.
#include <optional>
#include <string>

#include "engine/journal/part_state.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

// The marks a finished file carries: where it came from, as browsers and wget record it,
// and which quality of that page.
inline constexpr const char* kOriginMark = "user.xdg.origin.url";
inline constexpr const char* kQualityMark = "user.zenvira.quality";

// As far as a claim goes looking for a free name: enough for any sane number of same-titled
// videos in one folder.
inline constexpr int kMostNumbers = 999;

struct ClaimedTarget {
    enum class Kind { Claimed, AlreadyComplete, Busy, Failed };
    Kind kind = Kind::Failed;
    std::string path;      // the final name (Claimed, AlreadyComplete, Busy)
    std::string partPath;  // `path` + ".part"
    std::string statePath; // `partPath` + ".state"
    std::string error;     // Failed
};

// `name`: a safe file name (see safeFileName). On Claimed, `part` is open and locked.
ClaimedTarget claimTarget(const std::string& folder, const std::string& name, const DownloadOrigin& origin,
                          platform::RandomAccessFile& part);

// Whether the finished file at `path` was produced by the download `origin` names.
bool producedBy(const std::string& path, const DownloadOrigin& origin);
// Marks a file with its origin where the file system allows (a quality mark left from
// another download goes).
void markOrigin(const std::string& path, const DownloadOrigin& origin);
// Whether the marks on `path` name the download `origin` names; nothing when it has none (a
// file system without marks, or a file nobody marked).
std::optional<bool> markedFor(const std::string& path, const DownloadOrigin& origin);

}  // namespace zenvira::components
