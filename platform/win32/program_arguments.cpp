#include "platform/program_arguments.h"

#include "platform/win32/utf16.h"

#include <shellapi.h>

namespace zenvira::platform {

std::vector<std::string> programArguments(int, char**) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> result;
    if (!words) return result;
    for (int i = 1; i < count; ++i) result.push_back(win32::narrow(words[i]));
    ::LocalFree(words);
    return result;
}

}  // namespace zenvira::platform
