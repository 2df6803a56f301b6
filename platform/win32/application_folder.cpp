#include "platform/application_folder.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

std::string applicationFolder() {
    std::string folder = detail::applicationFolderOverride();
    if (folder.empty()) {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return {};
            if (length < buffer.size()) {
                buffer.resize(length);
                break;
            }
            buffer.resize(buffer.size() * 2);
        }
        const auto separator = buffer.find_last_of(L"\\/");
        folder = separator == std::wstring::npos ? std::string() : win32::narrow(buffer.substr(0, separator));
    }
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

std::string pathInApplicationFolder(const std::string& fileName) {
    const std::string folder = applicationFolder();
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + fileName;
    return folder + "\\" + fileName;
}

std::string locateInApplicationFolder(const std::string& fileName) {
    // File names ignore letter case here, so the plain path finds any spelling.
    const std::string path = pathInApplicationFolder(fileName);
    const DWORD attributes = ::GetFileAttributesW(win32::wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return path;
}

}  // namespace zenvira::platform
