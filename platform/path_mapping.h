#pragma once
// Local paths written the Windows way ("c:\" and "\title.flv") turned into a path of this
// system. On POSIX a drive root stands for one folder:
//   C:\  -> $ZENVIRA_DRIVE_C when set, else the user's download folder (XDG_DOWNLOAD_DIR from
//           $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Downloads);
//   X:\  -> $ZENVIRA_DRIVE_X when set; any other drive is refused.
// Backslashes and slashes both separate folders. The file name is one plain name: it never
// leads outside its folder (no separators inside it, no "." or "..", no NUL byte).
#include <string>
#include <string_view>

namespace zenvira::platform {

struct LocalTarget {
    bool ok = false;
    std::string path;       // folder and file name joined, when ok
    std::string folder;     // the folder alone, when ok
    std::string driveRoot;  // the folder a drive letter stood for, empty for other folders
    std::string error;      // one line a person understands, when not ok
};

// Joins a folder ("c:\", "c:\Videos", or a full path of this system) and a file name
// ("\Title.flv" or "Title.flv"). Pure: touches no file.
LocalTarget mapLocalTarget(std::string_view folder, std::string_view fileName);

// The folder drive `letter` stands for, or an error text in `error` and an empty result.
std::string driveRootFolder(char letter, std::string& error);

// Creates a folder and its parents when missing; false with the system's reason otherwise.
bool ensureFolder(const std::string& path, std::string& error);

}  // namespace zenvira::platform
