#include "platform/windows_command_line.h"

// windows.h (through utf16.h) before shellapi.h, which depends on it.
#include "platform/win32/utf16.h"

#include <shellapi.h>

namespace zenvira::platform {

std::vector<std::string> splitWindowsArguments(std::string_view arguments) {
    // The system splits a whole command line; a placeholder program name goes first.
    const std::wstring line = L"x " + win32::wide(std::string(arguments));
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> result;
    if (!words) return result;
    for (int i = 1; i < count; ++i) result.push_back(win32::narrow(words[i]));
    ::LocalFree(words);
    return result;
}

}  // namespace zenvira::platform
