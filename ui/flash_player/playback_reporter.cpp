#include "ui/flash_player/playback_reporter.h"

namespace zenvira::components {

void PlaybackReporter::mediaStarted() {
    ready_ = false;
    reportedRunning_ = false;
}

void PlaybackReporter::playbackReady() {
    ready_ = true;
    report();
}

void PlaybackReporter::pauseChanged(bool paused) {
    paused_ = paused;
    report();
}

void PlaybackReporter::mediaEnded() {
    ready_ = false;
    report();
}

void PlaybackReporter::report() {
    const bool running = ready_ && !paused_;
    if (running == reportedRunning_) return;
    // Only a video that has run can pause: a video opened paused says nothing until played.
    reportedRunning_ = running;
    send_(running ? "play" : "pause");
}

}  // namespace zenvira::components
