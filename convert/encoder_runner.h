#pragma once
// The encoder as a child process, polled without waiting: each poll throws away what the
// encoder wrote since the last one, keeping only its last few kilobytes (its last words, for
// a run that fails), so the encoder never stalls on a full pipe, and tells whether the run is
// over (its output has ended and it has been reaped).
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "convert/command_line.h"
#include "platform/process.h"

namespace zenvira::convert {

class EncoderRunner {
public:
    // At most this much output is read in one poll, which bounds the time a poll holds its
    // thread; the pipe's own buffer takes what an encoder writes between two polls.
    static constexpr std::size_t kDrainPerPoll = 1 << 20;
    // How long a cancelled encoder may take to clean up (its temporary file) before it is
    // ended outright.
    static constexpr std::chrono::milliseconds kStopGrace{2000};

    // Starts the encoder; false with the system's reason when it cannot.
    bool start(const EncoderCommand& command, std::string& error);
    // Drains what is there and reaps the encoder if its output has ended. True once the run
    // is over; the runner is then idle again.
    bool poll();
    // Asks the encoder and whatever it started to end; the run is then over at a following
    // poll (after kStopGrace at the latest).
    void cancel();
    // Ends the run before returning: a cancel, then polls until it is over.
    void stopAndWait();
    bool active() const { return active_; }
    // Whether the last run was cancelled.
    bool cancelled() const { return cancelled_; }
    // How the encoder of the last run that is over ended.
    platform::ExitStatus exitStatus() const { return child_.exitStatus(); }
    // The end of what the encoder of the last run wrote.
    const std::string& lastOutput() const { return output_; }

private:
    platform::ChildProcess child_;
    bool active_ = false;
    bool cancelled_ = false;
    std::chrono::steady_clock::time_point stopDeadline_;
    std::string output_;
};

// The encoder's reason for failing: the last line of its output that says something, without
// FFmpeg's closing "Conversion failed!"; empty when there is none.
std::string lastErrorLine(std::string_view output);

}  // namespace zenvira::convert
