#include "convert/encoder_runner.h"

namespace zenvira::convert {

bool EncoderRunner::start(const EncoderCommand& command, std::string& error) {
    active_ = child_.start(command.program, command.arguments, error);
    return active_;
}

bool EncoderRunner::poll() {
    if (!active_) return false;
    const platform::PipeDrain drained = child_.drain(kDrainPerPoll);
    // The output can end before the encoder does, and the encoder can end while what it
    // started still holds the pipe: the run is over only when both have happened.
    if (drained.ended && child_.reap()) active_ = false;
    return !active_;
}

void EncoderRunner::cancel() {
    if (active_) child_.terminateGroup();
}

}  // namespace zenvira::convert
