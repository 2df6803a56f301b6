#include "platform/path_mapping.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/win32/utf16.h"

namespace zenvira::platform {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// One plain file name; a leading separator (the "\title.flv" convention) is allowed.
bool checkFileName(std::string_view fileName, std::string& name, std::string& error) {
    while (!fileName.empty() && isSeparator(fileName.front())) fileName.remove_prefix(1);
    name = std::string(fileName);
    if (name.empty()) error = "No file name was given for the download";
    else if (name.find('\0') != std::string::npos) error = "The file name holds a NUL character";
    else if (name.find_first_of("/\\:") != std::string::npos) error = "The file name may not contain a folder: " + name;
    else if (name == "." || name == "..") error = "Not a file name: " + name;
    return error.empty();
}

}  // namespace

// On Windows a drive letter is itself: nothing to map.
std::string driveRootFolder(char letter, std::string& error) {
    const std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeW(win32::wide(root).c_str()) == DRIVE_NO_ROOT_DIR) {
        error = "Drive " + std::string(1, letter) + ": does not exist";
        return {};
    }
    return root;
}

LocalTarget mapLocalTarget(std::string_view folder, std::string_view fileName) {
    LocalTarget target;
    std::string name;
    if (folder.empty()) {
        target.error = "No folder was given for the download";
        return target;
    }
    if (folder.find('\0') != std::string_view::npos) {
        target.error = "The folder name holds a NUL character";
        return target;
    }
    if (!checkFileName(fileName, name, target.error)) return target;
    const std::filesystem::path base = std::filesystem::path(win32::wide(std::string(folder))).lexically_normal();
    if (!base.is_absolute()) {
        target.error = "The folder must be a full path: " + std::string(folder);
        return target;
    }
    target.folder = win32::narrow(base.wstring());
    target.path = win32::narrow((base / std::filesystem::path(win32::wide(name))).wstring());
    target.ok = true;
    return target;
}

bool ensureFolder(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(std::filesystem::path(win32::wide(path)), code);
    if (code) {
        error = "Cannot create the folder " + path + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace zenvira::platform
