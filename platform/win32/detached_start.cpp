#include "platform/detached_start.h"

#include "platform/win32/command_line_quoting.h"
#include "platform/win32/utf16.h"

namespace zenvira::platform {

bool startDetached(const std::string& program, const std::vector<std::string>& arguments, std::string& error) {
    std::vector<std::wstring> wideArguments;
    for (const auto& argument : arguments) wideArguments.push_back(win32::wide(argument));
    const std::wstring path = win32::wide(program);
    std::wstring commandLine = win32::commandLineOf(path, wideArguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle is inherited, and no console: the caller's pipes stay the caller's.
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
        error = "Cannot start " + program + ": " + win32::systemReason(::GetLastError());
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace zenvira::platform
