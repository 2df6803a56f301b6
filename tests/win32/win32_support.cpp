#include "tests/win32/win32_support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/application_folder.h"
#include "platform/temp_folder.h"
#include "platform/win32/utf16.h"

namespace zenvira::win32test {

using platform::win32::narrow;
using platform::win32::wide;

TestFolder::TestFolder(const std::string& name) {
    static int counter = 0;
    root_ = platform::temporaryFolder() + "zv-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    path_ = root_ + "\\" + name;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wide(path_)), ec);
}

TestFolder::~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(wide(root_)), ec);
}

std::string TestFolder::folder(const std::string& relative) const {
    const std::string made = path_ + "\\" + relative;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wide(made)), ec);
    return made;
}

std::string standInPath() { return platform::pathInApplicationFolder("zenvira_stand_in.exe"); }
std::string encoderFrontPath() { return platform::pathInApplicationFolder("avformat.dll"); }

void setStandInSteps(const std::string& steps) { ::SetEnvironmentVariableW(L"ZENVIRA_STAND_IN", wide(steps).c_str()); }

bool copyFile(const std::string& from, const std::string& to) {
    return ::CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != 0;
}

bool fileExists(const std::string& path) { return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readText(const std::string& path) {
    std::string text;
    if (std::FILE* file = _wfopen(wide(path).c_str(), L"rb")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

std::string waitForText(const std::string& path, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::string text = readText(path);
        if (!text.empty() || std::chrono::steady_clock::now() > deadline) return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool processRunning(DWORD pid) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

bool processEnds(DWORD pid, int timeoutMs) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    const bool ended = ::WaitForSingleObject(process, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

OtherProcess::OtherProcess(const std::string& program) {
    const std::wstring application = wide(program);
    std::wstring line = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
}

OtherProcess::~OtherProcess() {
    if (!process_) return;
    kill();
    ::CloseHandle(process_);
}

bool OtherProcess::running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void OtherProcess::kill() {
    if (running()) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
}

long OtherProcess::waitForExit(int timeoutMs) {
    if (!process_ || ::WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

Captured runCaptured(const std::string& commandLine, int timeoutMs) {
    Captured captured;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return captured;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    std::wstring line = wide(commandLine);
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &startup, &info);
    ::CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) captured.output.append(buffer, got);
        if (::WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(info.hProcess, &code);
            captured.exitCode = static_cast<long>(code);
        }
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    ::CloseHandle(readEnd);
    return captured;
}

}  // namespace zenvira::win32test
