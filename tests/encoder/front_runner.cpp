#include "tests/encoder/front_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace zenvira::encoder::testing {

namespace {

Words mergedEnvironment(const Words& extra) {
    Words result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& e : extra) replaced = replaced || e.substr(0, e.find('=')) == name;
        if (!replaced) result.push_back(text);
    }
    result.insert(result.end(), extra.begin(), extra.end());
    return result;
}

std::vector<char*> pointers(Words& words) {
    std::vector<char*> result;
    for (auto& word : words) result.push_back(word.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::string frontPath() { return ZENVIRA_ENCODER_FRONT; }

bool ProgramRun::exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
bool ProgramRun::killedBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }

pid_t startProgram(const std::string& program, const Words& args, const Words& environment, const std::string& outFile,
                   const std::string& errFile) {
    Words argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    Words envp = mergedEnvironment(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, pointers(argv).data(), pointers(envp).data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitProgram(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

ProgramRun runProgram(const std::string& program, const Words& args, const Words& environment, int timeoutMs) {
    TempFolder folder;
    ProgramRun run;
    const pid_t pid = startProgram(program, args, environment, folder.file("out"), folder.file("err"));
    if (pid < 0) return run;
    run.status = waitProgram(pid, timeoutMs);
    run.out = readFile(folder.file("out"));
    run.err = readFile(folder.file("err"));
    return run;
}

TempFolder::TempFolder() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/zv-encoder-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::writeScript(const std::string& name, const std::string& body) const {
    const std::string path = file(name);
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool processAlive(pid_t pid) {
    if (kill(pid, 0) != 0) return false;
    // A zombie still answers kill(); its state letter in /proc says it has ended.
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

std::string waitForText(const std::string& path, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = readFile(path);
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return readFile(path);
}

}  // namespace zenvira::encoder::testing
