#include "platform/browser.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace zenvira::platform {

namespace {

// The buffer up to its first NUL character.
std::string trimAtNul(const char* buffer, std::size_t size) {
    std::size_t length = 0;
    while (length < size && buffer[length] != '\0') ++length;
    return std::string(buffer, length);
}

// The program associated with .htm files, found through an empty probe file.
std::string htmlProgram() {
    const char* probe = "C:\\Tmp.htm";
    if (std::FILE* file = std::fopen(probe, "wb")) std::fclose(file);
    char program[255] = {};
    FindExecutableA(probe, "", program);
    DeleteFileA(probe);
    return trimAtNul(program, sizeof program);
}

}  // namespace

BrowserLaunch openInBrowser(const std::string& address) {
    const std::string program = htmlProgram();
    if (!program.empty()) {
        std::string commandLine = program + " " + address;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMAXIMIZED;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return {true, {}};
        }
    }
    // No associated program, or it would not start: the system's default for the address.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (result > 32) return {true, {}};
    return {false, "Cannot start a web browser for " + address};
}

}  // namespace zenvira::platform
