#pragma once
// Runs a shell command line and keeps what it printed on stdout and how it ended, for tests
// that drive the command-line program as a separate process.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace zenvira::test {

struct RunResult {
    int status = -1;  // the exit status, -1 when the command did not end normally
    std::string out;
};

inline RunResult runCommand(const std::string& command) {
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buf{};
    while (const auto n = fread(buf.data(), 1, buf.size(), pipe)) result.out.append(buf.data(), n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

}  // namespace zenvira::test
