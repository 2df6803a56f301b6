// The movie's "play" and "pause" commands follow what the viewer sees, once per change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/flash_player/playback_reporter.h"

using zenvira::components::PlaybackReporter;

namespace {

struct Recorder {
    std::vector<std::string> sent;
    PlaybackReporter reporter{[this](const std::string& command) { sent.push_back(command); }};
};

using Commands = std::vector<std::string>;

}  // namespace

TEST(PlaybackReporter, PlayOnStartPauseAndResumeOnceEach) {
    Recorder r;
    r.reporter.mediaStarted();
    r.reporter.pauseChanged(false);
    EXPECT_EQ(r.sent, Commands{});  // opening, nothing shown yet
    r.reporter.playbackReady();
    r.reporter.playbackReady();    // a seek while running
    r.reporter.pauseChanged(true);
    r.reporter.pauseChanged(true);
    r.reporter.playbackReady();    // a seek while paused
    r.reporter.pauseChanged(false);
    EXPECT_EQ(r.sent, (Commands{"play", "pause", "play"}));
    EXPECT_TRUE(r.reporter.running());
}

TEST(PlaybackReporter, OpenedPausedSaysNothingUntilPlayed) {
    Recorder r;
    r.reporter.mediaStarted();
    r.reporter.pauseChanged(true);
    r.reporter.playbackReady();
    EXPECT_EQ(r.sent, Commands{});
    r.reporter.pauseChanged(false);
    EXPECT_EQ(r.sent, Commands{"play"});
}

TEST(PlaybackReporter, ClosingARunningVideoPausesIt) {
    Recorder r;
    r.reporter.mediaStarted();
    r.reporter.playbackReady();
    r.reporter.mediaEnded();
    r.reporter.mediaEnded();
    EXPECT_EQ(r.sent, (Commands{"play", "pause"}));
    r.reporter.mediaStarted();     // the next video starts afresh
    r.reporter.playbackReady();
    EXPECT_EQ(r.sent, (Commands{"play", "pause", "play"}));
}
