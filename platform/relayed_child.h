#pragma once
// Children that work as part of this process, such as the encoder front's ffmpeg. A child
// shares this process's standard error, and its standard output too unless we read it. It
// never outlives this process: it is killed when we die (POSIX: a launcher asks for a signal
// at our death; Windows: a job object that ends its processes when we end), and the stops we
// get are passed on to every child running (POSIX: SIGTERM, SIGINT, SIGHUP; Windows: console
// Ctrl+C, Ctrl+Break and close reach the children on our console themselves).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zenvira::platform::relay {

struct ChildEnd {
    int exitCode = 0;  // when it exited
    int signal = 0;    // the signal that ended it, 0 when it exited
};

// The number under which a child reads a pipe the front writes: ffmpeg's "pipe:3" on POSIX;
// on Windows its standard input ("pipe:0"), the one number a child is given there.
#ifdef _WIN32
inline constexpr int kChildInputNumber = 0;
#else
inline constexpr int kChildInputNumber = 3;
#endif

// A pipe from the front to one child: the child reads it as input number kChildInputNumber,
// the front writes it through writer() and closes it to end the child's input.
class ChildInputPipe {
public:
    ChildInputPipe() = default;
    ~ChildInputPipe();
    ChildInputPipe(const ChildInputPipe&) = delete;
    ChildInputPipe& operator=(const ChildInputPipe&) = delete;

    bool open(std::string& error);
    std::FILE* writer() const { return writer_; }
    // Ends the child's input; false when what was written could not all be delivered.
    bool closeWriter();

private:
    friend class ChildProcess;
    int readEnd_ = -1;
    std::FILE* writer_ = nullptr;
};

class ChildProcess {
public:
    ChildProcess() = default;
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (a path) with `args` (without the program's name). With
    // `readOutput`, its standard output is a pipe read through output(). With `input`, the
    // child gets the pipe's read end (and the front gives it up). False with the system's
    // reason when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args, bool readOutput, std::string& error,
               ChildInputPipe* input = nullptr);
    // The child's standard output, when it is read; owned by this object.
    std::FILE* output() const { return output_; }
    // Stops reading the child's output (a child still writing then gets SIGPIPE).
    void closeOutput();
    // Waits for the child to end (closing the output first) and says how it ended.
    ChildEnd wait();

private:
    std::intptr_t pid_ = 0;  // POSIX: the process id; Windows: the process handle
    std::FILE* output_ = nullptr;
};

// Passes SIGTERM, SIGINT and SIGHUP on to the running children instead of dying of them.
void forwardStopSignals();
// The stop signal received so far, 0 when none.
int stopSignalReceived();
// Ends this process the way a child ended: its exit code, or the same signal.
int endLike(const ChildEnd& end);

// The launcher mode (argv[1] == kLauncherFlag): ties itself to the front's life, then
// becomes the program. Never returns when that works.
inline constexpr const char* kLauncherFlag = "--launch-child-of";
int runLauncher(int argc, char** argv);

}  // namespace zenvira::platform::relay
