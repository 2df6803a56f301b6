#include "platform/path_mapping.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace zenvira::platform {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

// XDG_DOWNLOAD_DIR="$HOME/Downloads" from user-dirs.dirs; empty when absent or disabled.
std::string xdgDownloadFolder(const std::string& home) {
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = home + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    const std::string key = "XDG_DOWNLOAD_DIR=";
    for (std::string line; std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        // Pointing a user folder at the home folder itself is how it is switched off.
        if (value.empty() || value.front() != '/' || value == home) return {};
        return value;
    }
    return {};
}

std::vector<std::string> splitFolders(std::string_view text) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (isSeparator(c)) {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

// Appends folder names below base; ".." may not climb above base.
bool appendFolders(std::string& base, std::string_view below, std::string& error) {
    std::vector<std::string> kept;
    for (const auto& part : splitFolders(below)) {
        if (part == ".") continue;
        if (part == "..") {
            if (kept.empty()) {
                error = "The folder " + std::string(below) + " leads outside its drive";
                return false;
            }
            kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    for (const auto& part : kept) {
        if (base.back() != '/') base += '/';
        base += part;
    }
    return true;
}

bool hasDriveLetter(std::string_view folder) {
    return folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':';
}

// The folder a Windows-style folder text stands for.
bool mapFolder(std::string_view folder, LocalTarget& target) {
    if (folder.find('\0') != std::string_view::npos) {
        target.error = "The folder name holds a NUL character";
        return false;
    }
    std::string base;
    std::string_view below;
    if (hasDriveLetter(folder)) {
        base = driveRootFolder(folder[0], target.error);
        if (base.empty()) return false;
        target.driveRoot = base;
        below = folder.substr(2);
    } else if (folder.substr(0, 2) == "\\\\") {
        target.error = "Network folders are not supported: " + std::string(folder);
        return false;
    } else if (!folder.empty() && folder[0] == '/') {
        base = "/";
        below = folder;
    } else if (!folder.empty() && folder[0] == '\\') {
        // A folder from the root of the current drive: drive C here.
        base = driveRootFolder('C', target.error);
        if (base.empty()) return false;
        target.driveRoot = base;
        below = folder;
    } else {
        target.error = folder.empty() ? "No folder was given for the download"
                                      : "The folder must be a full path: " + std::string(folder);
        return false;
    }
    if (!appendFolders(base, below, target.error)) return false;
    target.folder = base;
    return true;
}

// One plain file name; a leading separator (the "\title.flv" convention) is allowed.
bool checkFileName(std::string_view fileName, std::string& name, std::string& error) {
    while (!fileName.empty() && isSeparator(fileName.front())) fileName.remove_prefix(1);
    name = std::string(fileName);
    if (name.empty()) error = "No file name was given for the download";
    else if (name.find('\0') != std::string::npos) error = "The file name holds a NUL character";
    else if (name.find_first_of("/\\") != std::string::npos)
        error = "The file name may not contain a folder: " + name;
    else if (name == "." || name == "..") error = "Not a file name: " + name;
    return error.empty();
}

}  // namespace

std::string driveRootFolder(char letter, std::string& error) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const std::string variable = std::string("ZENVIRA_DRIVE_") + upper;
    std::string root = environment(variable.c_str());
    if (root.empty() && upper == 'C') {
        const std::string home = homeFolder();
        if (home.empty()) {
            error = "Cannot find the home folder for drive C:";
            return {};
        }
        root = xdgDownloadFolder(home);
        if (root.empty()) root = home + "/Downloads";
    }
    if (root.empty()) {
        error = std::string("Drive ") + upper + ": is not available on this system (set " + variable + ")";
        return {};
    }
    if (root.front() != '/') {
        error = variable + " must be a full path: " + root;
        return {};
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

LocalTarget mapLocalTarget(std::string_view folder, std::string_view fileName) {
    LocalTarget target;
    std::string name;
    if (!mapFolder(folder, target) || !checkFileName(fileName, name, target.error)) {
        target.folder.clear();
        target.driveRoot.clear();
        return target;
    }
    target.path = target.folder == "/" ? "/" + name : target.folder + "/" + name;
    target.ok = true;
    return target;
}

bool ensureFolder(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        error = "Cannot create the folder " + path + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace zenvira::platform
