#include "platform/temp_folder.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

std::string temporaryFolder() {
    // The wide call, so a folder under a user name outside the ANSI code page stays whole.
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return win32::narrow(buffer);
        }
        buffer.resize(length + 1);
    }
}

}  // namespace zenvira::platform
