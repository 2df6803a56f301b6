#include "platform/browser.h"

#include "platform/win32/browser_probe.h"
#include "platform/win32/utf16.h"

#include <shellapi.h>

namespace zenvira::platform {

namespace win32 {

BrowserLaunch openThroughProbe(const std::wstring& probe, const std::string& address, const ProgramLookup& lookup,
                               const ProcessStart& start) {
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    const std::wstring program = lookup(probe);
    std::wstring commandLine = program + L" " + wide(address);
    const bool started = !program.empty() && start(commandLine);
    // Deleted once the browser is on its way, never before: it may still look at it.
    ::DeleteFileW(probe.c_str());
    if (started) return {true, {}};
    return {false, program.empty() ? "No program opens web pages" : "Cannot start " + narrow(program)};
}

}  // namespace win32

namespace {

// The buffer up to its first NUL character.
std::wstring trimAtNul(const wchar_t* buffer, std::size_t size) {
    std::size_t length = 0;
    while (length < size && buffer[length] != L'\0') ++length;
    return std::wstring(buffer, length);
}

std::wstring associatedProgram(const std::wstring& probe) {
    wchar_t program[MAX_PATH] = {};
    ::FindExecutableW(probe.c_str(), L"", program);
    return trimAtNul(program, MAX_PATH);
}

// The address after the program's path and one blank, unquoted, as the command line reads;
// the program is also named on its own, so blanks in its path cannot split it.
bool startMaximized(const std::wstring& program, std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace

BrowserLaunch openInBrowser(const std::string& address) {
    std::wstring program;
    const BrowserLaunch launch = win32::openThroughProbe(
        L"C:\\Tmp.htm", address,
        [&](const std::wstring& probe) { return program = associatedProgram(probe); },
        [&](std::wstring& commandLine) { return startMaximized(program, commandLine); });
    if (launch.ok) return launch;
    // No associated program, or it would not start: the system's default for the address.
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", win32::wide(address).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (result > 32) return {true, {}};
    return {false, "Cannot start a web browser for " + address};
}

}  // namespace zenvira::platform
