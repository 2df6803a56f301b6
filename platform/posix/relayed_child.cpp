#include "platform/relayed_child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace zenvira::platform::relay {

namespace {

// The children running now; changed only while the stop signals are held back.
constexpr std::size_t kMaxChildren = 4;
volatile sig_atomic_t runningChildren[kMaxChildren] = {};
volatile sig_atomic_t stopSignal = 0;
constexpr std::array kStopSignals{SIGTERM, SIGINT, SIGHUP};

void onStopSignal(int signal) {
    stopSignal = signal;
    for (const auto& slot : runningChildren) {
        const pid_t child = slot;
        if (child > 0) kill(child, signal);
    }
}

bool addRunningChild(pid_t pid) {
    for (auto& slot : runningChildren) {
        if (slot == 0) {
            slot = pid;
            return true;
        }
    }
    return false;
}

void removeRunningChild(pid_t pid) {
    for (auto& slot : runningChildren)
        if (slot == pid) slot = 0;
}

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals) sigaddset(&set, signal);
    return set;
}

// Holds the stop signals back while the running child's id changes, so a signal is passed
// to the child that is there, never to a reaped one whose id may be reused.
class StopSignalsHeld {
public:
    StopSignalsHeld() {
        const sigset_t set = stopSignalSet();
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~StopSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

// This executable's own path, for starting children through its launcher mode.
std::string ownPath() {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

// argv for posix_spawn: through the launcher when this executable can be found again.
std::vector<std::string> spawnWords(const std::string& program, const std::vector<std::string>& args) {
    static const std::string self = ownPath();
    std::vector<std::string> words;
    if (!self.empty()) words = {self, kLauncherFlag, std::to_string(getpid())};
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

// The child starts with the stop signals and SIGPIPE at their defaults and nothing blocked.
struct SpawnSetup {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
    SpawnSetup(int outputFd, int inputFd) {
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults = stopSignalSet();
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawn_file_actions_init(&actions);
        if (outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        if (inputFd >= 0) posix_spawn_file_actions_adddup2(&actions, inputFd, kChildInputNumber);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildInputPipe::~ChildInputPipe() {
    closeWriter();
    if (readEnd_ >= 0) close(readEnd_);
}

bool ChildInputPipe::open(std::string& error) {
    std::array<int, 2> fds{-1, -1};
    if (pipe2(fds.data(), O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    readEnd_ = fds[0];
    writer_ = fdopen(fds[1], "wb");
    if (!writer_) {
        close(fds[1]);
        error = std::string("cannot write a pipe: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool ChildInputPipe::closeWriter() {
    if (!writer_) return true;
    const bool ok = std::fclose(writer_) == 0;
    writer_ = nullptr;
    return ok;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(static_cast<pid_t>(pid_), SIGKILL);
        wait();
    }
    if (output_) std::fclose(output_);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, bool readOutput,
                         std::string& error, ChildInputPipe* input) {
    std::array<int, 2> pipeFds{-1, -1};
    if (readOutput && pipe2(pipeFds.data(), O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    const std::vector<std::string> words = spawnWords(program, args);
    std::vector<char*> argv;
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    SpawnSetup setup(pipeFds[1], input ? input->readEnd_ : -1);
    pid_t pid = 0;
    int result = 0;
    {
        StopSignalsHeld held;
        result = posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
        if (result == 0 && !addRunningChild(pid)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            result = EAGAIN;
        }
    }
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    if (input && input->readEnd_ >= 0) {
        close(input->readEnd_);
        input->readEnd_ = -1;
    }
    if (result != 0) {
        if (pipeFds[0] >= 0) close(pipeFds[0]);
        error = "cannot run " + program + ": " + std::strerror(result);
        return false;
    }
    pid_ = pid;
    if (pipeFds[0] >= 0) output_ = fdopen(pipeFds[0], "rb");
    return true;
}

void ChildProcess::closeOutput() {
    if (!output_) return;
    std::fclose(output_);
    output_ = nullptr;
}

ChildEnd ChildProcess::wait() {
    closeOutput();
    ChildEnd end;
    if (pid_ <= 0) return end;
    const auto pid = static_cast<pid_t>(pid_);
    // Wait for the end without reaping, then reap with the signals held back.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    int status = 0;
    {
        StopSignalsHeld held;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        removeRunningChild(pid);
    }
    pid_ = 0;
    if (WIFSIGNALED(status))
        end.signal = WTERMSIG(status);
    else if (WIFEXITED(status))
        end.exitCode = WEXITSTATUS(status);
    return end;
}

void forwardStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kStopSignals) sigaction(signal, &action, nullptr);
    // A reader that went away must not end the front before it has reaped its child.
    signal(SIGPIPE, SIG_IGN);
}

int stopSignalReceived() { return stopSignal; }

int endLike(const ChildEnd& end) {
    if (end.signal == 0) return end.exitCode;
    signal(end.signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, end.signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(end.signal);
    return 128 + end.signal;
}

int runLauncher(int argc, char** argv) {
    if (argc < 4) return 125;
    // Killed with the front, whatever ends it; a front already gone means: do not start.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != static_cast<pid_t>(std::atol(argv[2]))) return 125;
    execv(argv[3], argv + 3);
    const int reason = errno;
    std::fprintf(stderr, "avformat.dll: cannot run %s: %s\n", argv[3], std::strerror(reason));
    return 127;
}

}  // namespace zenvira::platform::relay
