#pragma once
// A hidden child process whose standard output and standard error share one pipe that the
// parent polls without ever waiting. The child leads a group of its own (POSIX: a process
// group; Windows: a job object), so ending it also ends whatever it started and nothing else.
#include <cstddef>
#include <memory>
#include <string>

namespace zenvira::platform {

// How a child ended.
struct ExitStatus {
    enum class Kind { NotEnded, Exited, Killed, Unknown };
    Kind kind = Kind::NotEnded;
    int code = 0;    // the exit code when Exited, the signal number when Killed
    bool success() const { return kind == Kind::Exited && code == 0; }
    std::string describe() const;  // "exit code 1", "killed by signal 9"
};

// What one poll of the output pipe found.
struct PipeDrain {
    static constexpr std::size_t kTailBytes = 4096;
    std::size_t bytes = 0;     // bytes read and thrown away
    bool ended = false;        // every write end is closed and the pipe is empty
    std::string tail;          // the last bytes read (at most kTailBytes): the child's last words
};

// Appends `count` bytes to `tail`, keeping only its last PipeDrain::kTailBytes.
inline void keepTail(std::string& tail, const char* bytes, std::size_t count) {
    if (count >= PipeDrain::kTailBytes) {
        tail.assign(bytes + count - PipeDrain::kTailBytes, PipeDrain::kTailBytes);
        return;
    }
    tail.append(bytes, count);
    if (tail.size() > PipeDrain::kTailBytes) tail.erase(0, tail.size() - PipeDrain::kTailBytes);
}

class ChildProcess {
public:
    ChildProcess();
    // A child still running is ended together with its group and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (its full path) with the command line `programPart` + `arguments`:
    // `programPart` is how the line names the program (its short path, say; empty: the path
    // in double quotes), `arguments` the rest, read by the Windows rules for splitting a
    // command line. Windows hands the child that line as it is; POSIX gives it `programPart`
    // as its name and the split arguments. Standard input is the null device. False, with
    // the system's reason, when the pipe or the process cannot be made; a child already
    // started is ended first.
    bool start(const std::string& program, const std::string& programPart, const std::string& arguments,
               std::string& error);

    // Reads what the pipe holds now, at most `limit` bytes, and returns at once.
    PipeDrain drain(std::size_t limit);
    // Collects the child's exit status if it has ended; never waits. True once reaped.
    bool reap();
    // Ends the child and everything in its group at once, without reaping.
    void terminateGroup();
    // Asks the child and its group to end, letting them clean up (POSIX: SIGTERM). Where the
    // system has no such request (Windows) it ends them as terminateGroup does.
    void askGroupToStop();
    // Started and not yet reaped.
    bool running() const;
    // The status of the child last reaped (NotEnded before that).
    ExitStatus exitStatus() const;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace zenvira::platform
