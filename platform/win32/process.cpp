#include "platform/process.h"

#include <algorithm>
#include <vector>

#include "platform/win32/utf16.h"

namespace zenvira::platform {

namespace {

void closeQuietly(HANDLE& handle) {
    if (handle) ::CloseHandle(handle);
    handle = nullptr;
}

// A job object that ends every process in it when it is ended or closed.
HANDLE makeKillOnCloseJob() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// Limits what a child inherits to the handles named: without it a child gets every inheritable
// handle of this process, such as a pipe end another thread is handing to another child,
// which would keep that pipe open as long as this child lives.
class InheritOnly {
public:
    explicit InheritOnly(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        initialized_ = true;
        if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                        handles_.size() * sizeof(HANDLE), nullptr, nullptr))
            list_ = list;
    }
    ~InheritOnly() {
        if (initialized_) ::DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()));
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;
    // Null when the system could not make the list; the child then inherits as before.
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    bool initialized_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

std::string ExitStatus::describe() const {
    switch (kind) {
        case Kind::NotEnded: return "not ended";
        case Kind::Exited: return "exit code " + std::to_string(static_cast<unsigned>(code));
        case Kind::Killed: return "ended by a cancel";
        case Kind::Unknown: break;
    }
    return "ended, status unknown";
}

struct ChildProcess::Handles {
    HANDLE process = nullptr;
    HANDLE job = nullptr;      // holds the child and what it starts
    HANDLE readEnd = nullptr;  // nullptr once the pipe has ended
    bool reaped = true;
    bool cancelled = false;
    ExitStatus status;

    void endAll() {
        if (job) ::TerminateJobObject(job, 1);
        else if (process && !reaped) ::TerminateProcess(process, 1);
        if (process && !reaped) ::WaitForSingleObject(process, INFINITE);
        if (process && !reaped) {
            DWORD code = 0;
            ::GetExitCodeProcess(process, &code);
            status = {ExitStatus::Kind::Exited, static_cast<int>(code)};
            reaped = true;
        }
        closeQuietly(process);
        closeQuietly(job);
        closeQuietly(readEnd);
    }
};

ChildProcess::ChildProcess() : handles_(std::make_unique<Handles>()) {}

ChildProcess::~ChildProcess() { handles_->endAll(); }

bool ChildProcess::start(const std::string& program, const std::string& programPart, const std::string& arguments,
                         std::string& error) {
    handles_->endAll();
    handles_->status = {};
    handles_->cancelled = false;

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 1 << 20)) {
        error = "Cannot create a pipe: " + win32::systemReason(::GetLastError());
        return false;
    }
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited
    HANDLE nullInput = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr);

    STARTUPINFOEXW extended{};
    STARTUPINFOW& startInfo = extended.StartupInfo;
    startInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startInfo.wShowWindow = SW_HIDE;
    startInfo.hStdInput = nullInput == INVALID_HANDLE_VALUE ? nullptr : nullInput;
    startInfo.hStdOutput = writeEnd;
    startInfo.hStdError = writeEnd;
    std::vector<HANDLE> inherited{writeEnd};
    if (startInfo.hStdInput) inherited.push_back(startInfo.hStdInput);
    const InheritOnly inheritOnly(inherited);
    extended.lpAttributeList = inheritOnly.list();
    startInfo.cb = extended.lpAttributeList ? sizeof extended : sizeof startInfo;

    const std::wstring application = win32::wide(program);
    // The line exactly as the caller wrote it: the encoder reads the short path it was shown.
    std::wstring commandLine =
        (programPart.empty() ? L"\"" + application + L"\"" : win32::wide(programPart)) + win32::wide(arguments);
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                          NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED | CREATE_NO_WINDOW |
                                              (extended.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                          nullptr, nullptr, &startInfo, &info);
    const DWORD startError = ::GetLastError();
    ::CloseHandle(writeEnd);  // the child keeps its copy; the pipe ends when the child's copies close
    if (nullInput != INVALID_HANDLE_VALUE) ::CloseHandle(nullInput);
    if (!started) {
        ::CloseHandle(readEnd);
        error = "Cannot start " + program + ": " + win32::systemReason(startError);
        return false;
    }
    handles_->job = makeKillOnCloseJob();
    // A system without nested jobs refuses this when we are in a job ourselves: a cancel then
    // ends the child alone rather than nothing.
    if (handles_->job && !::AssignProcessToJobObject(handles_->job, info.hProcess)) closeQuietly(handles_->job);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    handles_->process = info.hProcess;
    handles_->readEnd = readEnd;
    handles_->reaped = false;
    return true;
}

PipeDrain ChildProcess::drain(std::size_t limit) {
    PipeDrain result;
    char buffer[64 * 1024];
    while (handles_->readEnd && result.bytes < limit) {
        // Only what is there: a plain ReadFile on an empty pipe would wait for the child.
        DWORD available = 0;
        if (!::PeekNamedPipe(handles_->readEnd, nullptr, 0, nullptr, &available, nullptr)) {
            closeQuietly(handles_->readEnd);  // broken pipe: every write end is closed
            break;
        }
        if (available == 0) break;
        DWORD got = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(available, sizeof buffer));
        if (!::ReadFile(handles_->readEnd, buffer, ask, &got, nullptr)) {
            closeQuietly(handles_->readEnd);
            break;
        }
        result.bytes += got;
        keepTail(result.tail, buffer, got);
    }
    result.ended = handles_->readEnd == nullptr;
    return result;
}

bool ChildProcess::reap() {
    if (handles_->reaped) return true;
    if (::WaitForSingleObject(handles_->process, 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    ::GetExitCodeProcess(handles_->process, &code);
    handles_->status = handles_->cancelled ? ExitStatus{ExitStatus::Kind::Killed, static_cast<int>(code)}
                                           : ExitStatus{ExitStatus::Kind::Exited, static_cast<int>(code)};
    handles_->reaped = true;
    return true;
}

void ChildProcess::terminateGroup() {
    if (handles_->reaped) return;
    handles_->cancelled = true;
    if (handles_->job) ::TerminateJobObject(handles_->job, 1);
    else ::TerminateProcess(handles_->process, 1);
}

// A hidden console child has no window to close and no console of ours to share a Ctrl-C.
void ChildProcess::askGroupToStop() { terminateGroup(); }

bool ChildProcess::running() const { return !handles_->reaped; }

ExitStatus ChildProcess::exitStatus() const { return handles_->status; }

}  // namespace zenvira::platform
