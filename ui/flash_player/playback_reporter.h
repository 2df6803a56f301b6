#pragma once
// Turns the player's state changes into the movie's "play" and "pause" commands: "play" once
// the video runs (first start and every resume), "pause" once it stops running (pause, or
// the end of the video). Repeats of the same state (seeks, buffering) say nothing.
#include <functional>
#include <string>

namespace zenvira::components {

class PlaybackReporter {
public:
    using Send = std::function<void(const std::string& command)>;
    explicit PlaybackReporter(Send send) : send_(std::move(send)) {}

    void mediaStarted();            // a new video was opened; nothing reported yet
    void playbackReady();           // the player has frames to show (after opening or a seek)
    void pauseChanged(bool paused);
    void mediaEnded();              // the video was closed or failed

    bool running() const { return reportedRunning_; }

private:
    void report();

    Send send_;
    bool ready_ = false;
    bool paused_ = false;
    bool reportedRunning_ = false;
};

}  // namespace zenvira::components
