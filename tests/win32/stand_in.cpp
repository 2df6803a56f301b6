// A stand-in for the programs the backends start (the encoder, ffmpeg, a browser). What it
// does comes from ZENVIRA_STAND_IN, so that it works whatever command line it is given:
// steps separated by ';', each NAME=VALUE, run in order:
//   record=FILE    writes its whole command line, then each argument, one a line (UTF-8)
//   out=TEXT       writes TEXT and a line break to standard output; err=TEXT to standard error
//   flood=BYTES    writes that many bytes to standard output
//   write=TEXT     writes TEXT into the file its last argument names, as ffmpeg its output
//   stdin=FILE     copies its standard input, byte for byte, into FILE
//   pid=FILE       writes its process id
//   spawn=FILE     starts a copy of itself that sleeps, and writes that copy's process id
//   appfolder=FILE writes the application folder as the platform layer sees it
//   sleep=MS       waits
//   exit=CODE      ends with that code (0 when no step says)
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/application_folder.h"
#include "platform/win32/utf16.h"

namespace {

using zenvira::platform::win32::narrow;
using zenvira::platform::win32::wide;

void writeFile(const std::string& path, const std::string& text) {
    if (std::FILE* file = _wfopen(wide(path).c_str(), L"wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

std::string commandLineRecord() {
    std::string text = narrow(::GetCommandLineW()) + "\n";
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; words && i < count; ++i) text += narrow(words[i]) + "\n";
    if (words) ::LocalFree(words);
    return text;
}

std::string wholeInput() {
    _setmode(_fileno(stdin), _O_BINARY);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin)) text.append(buffer, n);
    return text;
}

std::string lastArgument() {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::string last = words && count > 1 ? narrow(words[count - 1]) : std::string();
    if (words) ::LocalFree(words);
    return last;
}

// A copy of this program that sleeps for a minute; its process id.
DWORD spawnSleeper() {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    ::SetEnvironmentVariableW(L"ZENVIRA_STAND_IN", L"sleep=60000");
    std::wstring line = L"\"" + self + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 0;
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return info.dwProcessId;
}

}  // namespace

int main() {
    std::wstring steps(32768, L'\0');
    steps.resize(::GetEnvironmentVariableW(L"ZENVIRA_STAND_IN", steps.data(), static_cast<DWORD>(steps.size())));
    std::string rest = narrow(steps);
    int code = 0;
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string step = rest.substr(0, end);
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
        const auto equals = step.find('=');
        const std::string name = step.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : step.substr(equals + 1);
        if (name == "record") writeFile(value, commandLineRecord());
        else if (name == "out") std::printf("%s\n", value.c_str());
        else if (name == "err") std::fprintf(stderr, "%s\n", value.c_str());
        else if (name == "flood") {
            const std::string block(4096, 'x');
            for (long left = std::atol(value.c_str()); left > 0; left -= static_cast<long>(block.size()))
                std::fwrite(block.data(), 1, left < 4096 ? static_cast<std::size_t>(left) : block.size(), stdout);
        } else if (name == "write") writeFile(lastArgument(), value);
        else if (name == "stdin") writeFile(value, wholeInput());
        else if (name == "pid") writeFile(value, std::to_string(::GetCurrentProcessId()));
        else if (name == "spawn") writeFile(value, std::to_string(spawnSleeper()));
        else if (name == "appfolder") writeFile(value, zenvira::platform::applicationFolder());
        else if (name == "sleep") ::Sleep(static_cast<DWORD>(std::atol(value.c_str())));
        else if (name == "exit") code = std::atoi(value.c_str());
        std::fflush(stdout);
        std::fflush(stderr);
    }
    return code;
}
