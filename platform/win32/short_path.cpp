#include "platform/short_path.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

std::string shortPath(const std::string& path) {
    const std::wstring longForm = win32::wide(path);
    std::wstring buffer(255, L'\0');
    DWORD length = ::GetShortPathNameW(longForm.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > buffer.size()) {
        // The short form did not fit: the call told the size it needs, so ask again with that.
        buffer.assign(length, L'\0');
        length = ::GetShortPathNameW(longForm.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length >= buffer.size()) return {};
    }
    buffer.resize(length);
    return win32::narrow(buffer);
}

}  // namespace zenvira::platform
