#pragma once
// What the Windows tests share: folders made for one test (with blanks or characters outside
// the ANSI code page in their names), the stand-in program, processes seen from outside.
#include <windows.h>

#include <string>

namespace zenvira::win32test {

// A fresh folder under the temporary folder whose last part is `name`, removed with
// everything in it when it goes. Paths are UTF-8 with backslashes.
class TestFolder {
public:
    explicit TestFolder(const std::string& name = "zenvira test");
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    // A folder inside, made with its parents.
    std::string folder(const std::string& relative) const;

private:
    std::string root_;
    std::string path_;
};

// The stand-in program beside the test (see stand_in.cpp), and the encoder front as built.
std::string standInPath();
std::string encoderFrontPath();
// Sets what the stand-in does in every process this one starts from now on.
void setStandInSteps(const std::string& steps);

bool copyFile(const std::string& from, const std::string& to);
bool fileExists(const std::string& path);
std::string readText(const std::string& path);
// Waits up to `timeoutMs` for a file to exist and hold something; its text.
std::string waitForText(const std::string& path, int timeoutMs = 10000);

// A process seen from outside, by its id.
bool processRunning(DWORD pid);
// Waits up to `timeoutMs` for it to end; true when it has.
bool processEnds(DWORD pid, int timeoutMs = 5000);

// A process started directly (not through the code under test), ended when this goes.
class OtherProcess {
public:
    explicit OtherProcess(const std::string& program);
    ~OtherProcess();
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    bool running() const;
    // Ends it abruptly, as a crash or Task Manager would.
    void kill();
    // Waits for it; its exit code, or -1 after `timeoutMs`.
    long waitForExit(int timeoutMs);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

struct Captured {
    long exitCode = -1;
    std::string output;  // standard output and error together
};
// Runs a command line (for example Wine's reg.exe) and collects what it writes.
Captured runCaptured(const std::string& commandLine, int timeoutMs = 30000);

}  // namespace zenvira::win32test
