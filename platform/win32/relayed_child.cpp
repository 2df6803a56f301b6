#include "platform/relayed_child.h"

#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>

#include "platform/win32/command_line_quoting.h"
#include "platform/win32/utf16.h"

namespace zenvira::platform::relay {

namespace {

volatile LONG stopSignal = 0;

// Every child goes into this job; closing its last handle, which the system does when this
// process ends in any way, ends them all.
HANDLE childrenJob() {
    static const HANDLE job = [] {
        HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
        if (!made) return made;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// An inheritable copy of one of our handles, for one child; null when there is none.
HANDLE inheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (!handle || handle == INVALID_HANDLE_VALUE) return nullptr;
    const HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, handle, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) return nullptr;
    return copy;
}

void closeIfSet(HANDLE handle) {
    if (handle) ::CloseHandle(handle);
}

// A pipe whose ends no child inherits unless it is handed one.
bool makePipe(HANDLE& readEnd, HANDLE& writeEnd, std::string& error) {
    if (::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return true;
    error = "cannot make a pipe: " + win32::systemReason(::GetLastError());
    return false;
}

// A CRT stream over a pipe end, which then owns it.
std::FILE* streamOf(HANDLE handle, bool forReading) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), (forReading ? _O_RDONLY : _O_WRONLY) | _O_BINARY);
    if (fd < 0) return nullptr;
    std::FILE* stream = _fdopen(fd, forReading ? "rb" : "wb");
    if (!stream) _close(fd);
    return stream;
}

BOOL WINAPI onConsoleStop(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: ::InterlockedExchange(&stopSignal, SIGINT); return TRUE;
        case CTRL_BREAK_EVENT: ::InterlockedExchange(&stopSignal, SIGBREAK); return TRUE;
        case CTRL_CLOSE_EVENT: ::InterlockedExchange(&stopSignal, SIGTERM); return TRUE;
        default: return FALSE;
    }
}

}  // namespace

ChildInputPipe::~ChildInputPipe() {
    closeWriter();
    if (readEnd_ >= 0) _close(readEnd_);
}

bool ChildInputPipe::open(std::string& error) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!makePipe(readEnd, writeEnd, error)) return false;
    readEnd_ = _open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
    if (readEnd_ < 0) ::CloseHandle(readEnd);
    writer_ = streamOf(writeEnd, false);
    if (!writer_) ::CloseHandle(writeEnd);
    if (readEnd_ < 0 || !writer_) {
        error = "cannot make a pipe: no file descriptor left";
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
    if (pid_ != 0) ::TerminateProcess(reinterpret_cast<HANDLE>(pid_), 1);
    wait();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, bool readOutput,
                         std::string& error, ChildInputPipe* input) {
    HANDLE outputRead = nullptr, outputWrite = nullptr;
    if (readOutput && !makePipe(outputRead, outputWrite, error)) return false;

    // The child's three standard handles: copies made for it alone, so that it inherits
    // nothing else of ours (no other child's pipe end, which would keep that pipe open).
    const HANDLE inputSource = input && input->readEnd_ >= 0
                                   ? reinterpret_cast<HANDLE>(_get_osfhandle(input->readEnd_))
                                   : ::GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE childInput = inheritableCopy(inputSource);
    const HANDLE childOutput = inheritableCopy(readOutput ? outputWrite : ::GetStdHandle(STD_OUTPUT_HANDLE));
    const HANDLE childError = inheritableCopy(::GetStdHandle(STD_ERROR_HANDLE));
    closeIfSet(outputWrite);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childError;

    std::vector<std::wstring> wideArgs;
    for (const auto& arg : args) wideArgs.push_back(win32::wide(arg));
    const std::wstring application = win32::wide(program);
    std::wstring commandLine = win32::commandLineOf(application, wideArgs);
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr, &startup,
                                          &info);
    const DWORD startError = ::GetLastError();
    closeIfSet(childInput);
    closeIfSet(childOutput);
    closeIfSet(childError);
    if (input && input->readEnd_ >= 0) {
        _close(input->readEnd_);  // the child holds its own copy now
        input->readEnd_ = -1;
    }
    if (!started) {
        closeIfSet(outputRead);
        error = "cannot run " + program + ": " + win32::systemReason(startError);
        return false;
    }
    // In the job before it runs a single instruction, so nothing it starts escapes it.
    if (const HANDLE job = childrenJob()) ::AssignProcessToJobObject(job, info.hProcess);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    pid_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    if (outputRead) {
        output_ = streamOf(outputRead, true);
        if (!output_) ::CloseHandle(outputRead);
    }
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
    if (pid_ == 0) return end;
    const auto process = reinterpret_cast<HANDLE>(pid_);
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    pid_ = 0;
    end.exitCode = static_cast<int>(code);
    return end;
}

void forwardStopSignals() {
    // The console delivers Ctrl+C, Ctrl+Break and close to every process on it, the children
    // included: this front only notes the stop, waits for them, and starts nothing after.
    ::SetConsoleCtrlHandler(onConsoleStop, TRUE);
    childrenJob();
}

int stopSignalReceived() { return static_cast<int>(stopSignal); }

int endLike(const ChildEnd& end) {
    std::fflush(stdout);
    std::fflush(stderr);
    // A stop ends this front the way the console ends a program it stops.
    if (end.signal != 0) return static_cast<int>(STATUS_CONTROL_C_EXIT);
    return end.exitCode;
}

int runLauncher(int, char**) {
    // Children are tied to this process by its job object; there is no launcher to run.
    std::fprintf(stderr, "avformat.dll: %s is not used on Windows\n", kLauncherFlag);
    return 125;
}

}  // namespace zenvira::platform::relay
