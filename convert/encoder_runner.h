#pragma once
// The encoder as a child process, polled without waiting: each poll throws away what the
// encoder wrote since the last one, so the encoder never stalls on a full pipe, and tells
// whether the run is over (its output has ended and it has been reaped).
#include <cstddef>
#include <string>

#include "convert/command_line.h"
#include "platform/process.h"

namespace zenvira::convert {

class EncoderRunner {
public:
    // At most this much output is read in one poll, which bounds the time a poll holds its
    // thread; the pipe's own buffer takes what an encoder writes between two polls.
    static constexpr std::size_t kDrainPerPoll = 1 << 20;

    // Starts the encoder; false with the system's reason when it cannot.
    bool start(const EncoderCommand& command, std::string& error);
    // Drains what is there and reaps the encoder if its output has ended. True once the run
    // is over; the runner is then idle again.
    bool poll();
    // Ends the encoder and whatever it started; the run is then over at a following poll.
    void cancel();
    bool active() const { return active_; }
    // How the encoder of the last run that is over ended.
    platform::ExitStatus exitStatus() const { return child_.exitStatus(); }

private:
    platform::ChildProcess child_;
    bool active_ = false;
};

}  // namespace zenvira::convert
