#pragma once
// A temporary application folder holding a stand-in encoder: a small shell script named
// avformat.dll. The job is pointed at it through the test setter and back when it goes.
#include <QCoreApplication>
#include <string>
#include <vector>

#include "convert/conversion_job.h"

namespace zenvira::convert::testing {

QCoreApplication& testApp();

class EncoderFolder {
public:
    // `folderName` is the application folder's own name inside a fresh temporary folder.
    explicit EncoderFolder(const std::string& folderName = "app");
    ~EncoderFolder();
    EncoderFolder(const EncoderFolder&) = delete;
    EncoderFolder& operator=(const EncoderFolder&) = delete;

    // Writes a /bin/sh script under `name`; $here in the body is the script's folder.
    void writeEncoder(const std::string& body, const std::string& name = "avformat.dll",
                      bool executable = true) const;
    std::string path() const { return folder_; }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }
    // The lines of a file the encoder wrote (for example its arguments, one a line).
    std::vector<std::string> lines(const std::string& name) const;

private:
    std::string root_;
    std::string folder_;
};

// Events of a job in the order they arrived: "Converting", "Complete", "Error: <text>".
struct EventLog {
    explicit EventLog(AVC& job);
    std::vector<std::string> events;
    int count(const std::string& event) const;
};

// A script line for a stand-in encoder that makes its output: it writes its last argument.
inline constexpr const char* kWriteDestination = "for last; do :; done\necho made > \"$last\"";

// Runs the event loop, with the job's ticks sped up, until Complete or `timeoutMs`.
bool runUntilComplete(AVC& job, QTimer& timer, int timeoutMs = 10000);
// The same until the run ends either way: Complete or ErrorEvent.
bool runUntilEnd(AVC& job, QTimer& timer, int timeoutMs = 10000);
// Runs the event loop until the job's Complete; false when `timeoutMs` passes first.
bool waitForComplete(AVC& job, int timeoutMs);

// True while the process exists and is not a zombie.
bool processAlive(int pid);
// Waits up to `timeoutMs` for a process to end: a signal reaches a process that is not our
// child (and so not waited for) a moment after it is sent.
bool processEnds(int pid, int timeoutMs = 2000);

// Waits up to `timeoutMs` for a file to hold a line (written by a stand-in encoder).
std::string waitForLine(const std::string& path, int timeoutMs = 5000);

}  // namespace zenvira::convert::testing
