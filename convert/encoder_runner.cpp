#include "convert/encoder_runner.h"

#include <thread>

namespace zenvira::convert {

bool EncoderRunner::start(const EncoderCommand& command, std::string& error) {
    output_.clear();
    cancelled_ = false;
    active_ = child_.start(command.program, command.programPart, command.arguments, error);
    return active_;
}

bool EncoderRunner::poll() {
    if (!active_) return false;
    const platform::PipeDrain drained = child_.drain(kDrainPerPoll);
    platform::keepTail(output_, drained.tail.data(), drained.tail.size());
    // The output can end before the encoder does, and the encoder can end while what it
    // started still holds the pipe: the run is over only when both have happened.
    if (drained.ended && child_.reap()) {
        active_ = false;
    } else if (cancelled_ && std::chrono::steady_clock::now() >= stopDeadline_) {
        child_.terminateGroup();
    }
    return !active_;
}

void EncoderRunner::cancel() {
    if (!active_ || cancelled_) return;
    cancelled_ = true;
    stopDeadline_ = std::chrono::steady_clock::now() + kStopGrace;
    child_.askGroupToStop();
}

void EncoderRunner::stopAndWait() {
    cancel();
    while (active_ && !poll()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string lastErrorLine(std::string_view output) {
    std::size_t end = output.size();
    while (end > 0) {
        const std::size_t start = output.find_last_of("\r\n", end - 1);
        const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
        std::string_view line = output.substr(from, end - from);
        const auto first = line.find_first_not_of(" \t");
        line = first == std::string_view::npos ? std::string_view() : line.substr(first);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        const bool closing = line == "Conversion failed!" || line.starts_with("Exiting normally");
        if (!line.empty() && !closing) return std::string(line);
        if (start == std::string_view::npos) break;
        end = start;
    }
    return {};
}

}  // namespace zenvira::convert
