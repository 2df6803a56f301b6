#pragma once
// The application folder: the folder of the running executable, where the fronts and the
// encoder (avformat.dll) live side by side.
#include <string>
#include <utility>

namespace zenvira::platform {

namespace detail {
inline std::string& applicationFolderOverride() {
    static std::string folder;
    return folder;
}
}  // namespace detail

// Tests point the application folder elsewhere with this; an empty text undoes it. Nothing
// else changes it: the product always uses the folder of its own executable.
inline void setApplicationFolderForTests(std::string folder) {
    detail::applicationFolderOverride() = std::move(folder);
}

// The folder without a trailing separator; empty when the system cannot tell.
std::string applicationFolder();

// The full path of `fileName` in the application folder, joined with this system's separator.
std::string pathInApplicationFolder(const std::string& fileName);

// The path of the file in the application folder whose name equals `fileName` in any letter
// case, spelt as on disk; empty when there is none.
std::string locateInApplicationFolder(const std::string& fileName);

}  // namespace zenvira::platform
