#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/windows_command_line.h"

extern char** environ;

namespace zenvira::platform {

namespace {

// Room for a burst of output between two polls, so a chatty child rarely waits on the pipe.
constexpr int kPipeCapacity = 1 << 20;

std::string reason(int code) { return std::strerror(code); }

// Spawn settings: a process group of its own, default signal handling, nothing blocked.
class SpawnAttributes {
public:
    SpawnAttributes() {
        ::posix_spawnattr_init(&attr_);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attr_, &none);
        ::posix_spawnattr_setsigdefault(&attr_, &all);
        ::posix_spawnattr_setpgroup(&attr_, 0);
        ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

// Standard input from the null device; output and errors into the pipe's write end.
class SpawnFiles {
public:
    explicit SpawnFiles(int writeEnd) {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(&actions_, writeEnd, 1);
        ::posix_spawn_file_actions_adddup2(&actions_, writeEnd, 2);
    }
    ~SpawnFiles() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFiles(const SpawnFiles&) = delete;
    SpawnFiles& operator=(const SpawnFiles&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

ExitStatus statusOf(int raw) {
    if (WIFEXITED(raw)) return {ExitStatus::Kind::Exited, WEXITSTATUS(raw)};
    if (WIFSIGNALED(raw)) return {ExitStatus::Kind::Killed, WTERMSIG(raw)};
    return {ExitStatus::Kind::Unknown, 0};
}

void closeQuietly(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::string ExitStatus::describe() const {
    switch (kind) {
        case Kind::NotEnded: return "not ended";
        case Kind::Exited: return "exit code " + std::to_string(code);
        case Kind::Killed: return "killed by signal " + std::to_string(code);
        case Kind::Unknown: break;
    }
    return "ended, status unknown";
}

struct ChildProcess::Handles {
    pid_t pid = -1;       // the child, also its process group; -1 when none
    bool reaped = true;
    int readEnd = -1;     // non-blocking; -1 once the pipe has ended
    ExitStatus status;

    // The group may still hold the child or what it started.
    bool groupMayLive() const { return pid > 0 && (!reaped || readEnd >= 0); }

    void waitBlocking() {
        if (pid <= 0 || reaped) return;
        int raw = 0;
        pid_t got;
        do got = ::waitpid(pid, &raw, 0);
        while (got < 0 && errno == EINTR);
        status = got == pid ? statusOf(raw) : ExitStatus{ExitStatus::Kind::Unknown, 0};
        reaped = true;
    }

    void endAll() {
        if (groupMayLive()) ::kill(-pid, SIGKILL);
        waitBlocking();
        closeQuietly(readEnd);
        pid = -1;
    }
};

ChildProcess::ChildProcess() : handles_(std::make_unique<Handles>()) {}

ChildProcess::~ChildProcess() { handles_->endAll(); }

bool ChildProcess::start(const std::string& program, const std::string& programPart, const std::string& arguments,
                         std::string& error) {
    handles_->endAll();
    handles_->status = {};
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = "Cannot create a pipe: " + reason(errno);
        return false;
    }
#ifdef F_SETPIPE_SZ
    ::fcntl(ends[0], F_SETPIPE_SZ, kPipeCapacity);  // a smaller pipe only costs more polls
#endif
    std::vector<std::string> words{programPart.empty() ? program : programPart};
    for (auto& word : splitWindowsArguments(arguments)) words.push_back(std::move(word));
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int failed = [&] {
        SpawnAttributes attributes;
        SpawnFiles files(ends[1]);
        return ::posix_spawn(&pid, program.c_str(), files.get(), attributes.get(), argv.data(), environ);
    }();
    ::close(ends[1]);  // the child holds its own copy; the pipe ends when the child's copies close
    if (failed != 0) {
        ::close(ends[0]);
        error = "Cannot start " + program + ": " + reason(failed);
        return false;
    }
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    handles_->pid = pid;
    handles_->reaped = false;
    handles_->readEnd = ends[0];
    return true;
}

PipeDrain ChildProcess::drain(std::size_t limit) {
    PipeDrain result;
    char buffer[64 * 1024];
    while (handles_->readEnd >= 0 && result.bytes < limit) {
        const ssize_t got = ::read(handles_->readEnd, buffer, sizeof buffer);
        if (got > 0) {
            result.bytes += static_cast<std::size_t>(got);
            keepTail(result.tail, buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        closeQuietly(handles_->readEnd);  // end of the pipe; a read error counts the same
    }
    result.ended = handles_->readEnd < 0;
    return result;
}

bool ChildProcess::reap() {
    if (handles_->reaped) return true;
    int raw = 0;
    const pid_t got = ::waitpid(handles_->pid, &raw, WNOHANG);
    if (got == 0 || (got < 0 && errno == EINTR)) return false;
    handles_->status = got == handles_->pid ? statusOf(raw) : ExitStatus{ExitStatus::Kind::Unknown, 0};
    handles_->reaped = true;
    return true;
}

void ChildProcess::terminateGroup() {
    if (handles_->groupMayLive()) ::kill(-handles_->pid, SIGKILL);
}

void ChildProcess::askGroupToStop() {
    if (handles_->groupMayLive()) ::kill(-handles_->pid, SIGTERM);
}

bool ChildProcess::running() const { return !handles_->reaped; }

ExitStatus ChildProcess::exitStatus() const { return handles_->status; }

}  // namespace zenvira::platform
