#pragma once
// Runs avformat.dll (or any program) as a separate process, the way the converter does:
// no shell, its own environment entries, standard output and error kept apart.
#include <sys/types.h>

#include <string>
#include <vector>

namespace zenvira::encoder::testing {

using Words = std::vector<std::string>;

// The front as built, in the application folder.
std::string frontPath();

struct ProgramRun {
    int status = -1;  // the raw wait status
    std::string out;
    std::string err;
    bool exited(int code) const;
    bool killedBy(int signal) const;
};

// Starts `program` (a path, or a name looked up on PATH) with `args`; `environment` entries ("NAME=value") replace or
// add to this process's. Standard output and error go to the two files. The child's id.
pid_t startProgram(const std::string& program, const Words& args, const Words& environment, const std::string& outFile,
                   const std::string& errFile);
// Waits for a child started above, at most `timeoutMs` (then kills it); the raw status.
int waitProgram(pid_t pid, int timeoutMs);
// Starts, waits and reads both outputs back.
ProgramRun runProgram(const std::string& program, const Words& args, const Words& environment = {},
                      int timeoutMs = 60000);

// A fresh folder under the temporary folder, removed with everything in it when it goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes an executable /bin/sh script under `name`; the path.
    std::string writeScript(const std::string& name, const std::string& body) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);
// True while the process exists and has not ended (a zombie counts as ended).
bool processAlive(pid_t pid);
// Waits up to `timeoutMs` for a file to exist and hold something; its text.
std::string waitForText(const std::string& path, int timeoutMs);

}  // namespace zenvira::encoder::testing
