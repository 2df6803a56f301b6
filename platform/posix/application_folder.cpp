#include "platform/application_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <memory>

namespace zenvira::platform {

namespace {

std::string executablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

bool sameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string applicationFolder() {
    const std::string& chosen = detail::applicationFolderOverride();
    std::string folder = chosen.empty() ? executablePath() : chosen;
    if (chosen.empty()) {
        const auto slash = folder.rfind('/');
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string pathInApplicationFolder(const std::string& fileName) {
    const std::string folder = applicationFolder();
    return folder == "/" ? "/" + fileName : folder + "/" + fileName;
}

std::string locateInApplicationFolder(const std::string& fileName) {
    const std::string exact = pathInApplicationFolder(fileName);
    if (isRegularFile(exact)) return exact;
    // Windows file names ignore letter case; here the folder is searched for a match.
    const std::string folder = applicationFolder();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!sameIgnoringCase(fileName, entry->d_name)) continue;
        const std::string found = (folder == "/" ? "/" : folder + "/") + entry->d_name;
        if (isRegularFile(found)) return found;
    }
    return {};
}

}  // namespace zenvira::platform
