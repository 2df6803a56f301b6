// Runs of a stand-in encoder: the ticks, the end of a run, a flood of output, cancel and the
// job going away during a run.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "convert/conversion_job.h"
#include "convert/encoder_runner.h"
#include "platform/process.h"
#include "tests/convert/encoder_folder.h"

namespace zenvira::convert {
namespace {

using testing::EncoderFolder;
using testing::EventLog;
using testing::processAlive;
using testing::runUntilComplete;
using testing::runUntilEnd;
using testing::waitForLine;
using Words = std::vector<std::string>;

// Starts itself a child that lives on, writes both process ids, then waits.
const char* kEncoderWithChild =
    "sleep 30 &\n"
    "echo $! > \"$here/child.pid\"\n"
    "echo $$ > \"$here/encoder.pid\"\n"
    "sleep 30";

class EncoderRun : public ::testing::Test {
protected:
    void SetUp() override { testing::testApp(); }
    void start(AVC& job, const std::string& destination = "/v/out.mp3") {
        job.SourceFile("/v/in.flv");
        job.DestFile(destination);
        job.ConvertMedia(true);
        ASSERT_TRUE(job.IsRunning()) << job.LastStartFailure();
    }
    QTimer timer;
};

// An encoder that fails says why, with its own last line, and never reads as a success.
TEST_F(EncoderRun, EncoderThatFailsEndsWithConvertingThenItsLastErrorLine) {
    EncoderFolder folder;
    folder.writeEncoder("echo 'frame=  1 size=0kB' >&2; printf 'in.flv: Invalid data found when processing input\\n"
                        "Conversion failed!\\n  \\n' >&2; exit 3");
    AVC job(&timer);
    start(job);
    EventLog log(job);
    // Ticks driven by hand: the one that meets the end raises Converting and then the error.
    Words lastTick;
    for (int i = 0; i < 500 && log.count("Converting") == static_cast<int>(log.events.size()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::size_t before = log.events.size();
        job.Timer1_Timer();
        lastTick.assign(log.events.begin() + static_cast<std::ptrdiff_t>(before), log.events.end());
    }
    EXPECT_EQ(lastTick, (Words{"Converting", "Error: in.flv: Invalid data found when processing input"}));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(job.LastExitStatus().kind, platform::ExitStatus::Kind::Exited);
    EXPECT_EQ(job.LastExitStatus().code, 3);
    const std::size_t events = log.events.size();
    job.Timer1_Timer();  // a stray tick after the end raises nothing
    EXPECT_EQ(log.events.size(), events);
    EXPECT_EQ(log.count("Complete"), 0);

    // Silent failure: the exit status is the reason. Success without a file: no Complete either.
    folder.writeEncoder("exit 4");
    start(job);
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(log.events.back(), "Error: The encoder failed (exit code 4)");
    folder.writeEncoder("exit 0");
    start(job, folder.file("out.mp3"));
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(log.events.back(), "Error: The encoder made no file " + folder.file("out.mp3"));
    folder.writeEncoder(testing::kWriteDestination);
    start(job, folder.file("out.mp3"));
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(log.events.back(), "Complete");
}

TEST(EncoderOutput, TheLastErrorLineSkipsFfmpegsClosingWords) {
    EXPECT_EQ(lastErrorLine("a\nb: No such file or directory\r\n"), "b: No such file or directory");
    EXPECT_EQ(lastErrorLine("size=1kB\rUnknown encoder 'x'\nConversion failed!\n"), "Unknown encoder 'x'");
    EXPECT_EQ(lastErrorLine("Exiting normally, received signal 15.\n"), "");
    EXPECT_EQ(lastErrorLine("  \n\t\n"), "");
    EXPECT_EQ(lastErrorLine("only line"), "only line");
}

TEST_F(EncoderRun, TickNeverWaitsForASilentEncoder) {
    EncoderFolder folder;
    folder.writeEncoder("sleep 5");
    AVC job(&timer);
    start(job);
    EventLog log(job);
    QElapsedTimer clock;
    clock.start();
    job.Timer1_Timer();
    job.Timer1_Timer();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(log.events, (Words{"Converting", "Converting"}));
    job.CancelConvert();
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(log.events.back(), "Error: The conversion was cancelled");
}

TEST_F(EncoderRun, MegabytesOfOutputAreDrainedAndTheRunFinishes) {
    EncoderFolder folder;
    folder.writeEncoder(std::string("head -c 24000000 /dev/zero; echo done >&2\n") + testing::kWriteDestination);
    AVC job(&timer);
    start(job, folder.file("out.mp3"));
    EventLog log(job);
    ASSERT_TRUE(runUntilComplete(job, timer));
    EXPECT_TRUE(job.LastExitStatus().success());
    // A few hundred bytes a tick would need many thousands of ticks for this much output.
    EXPECT_LT(log.count("Converting"), 200);
}

TEST_F(EncoderRun, CancelEndsOwnEncoderAndItsChildButNoOtherProcess) {
    EncoderFolder other("elsewhere");
    other.writeEncoder("sleep 30", "xavformat.dll");
    platform::ChildProcess unrelated;
    std::string error;
    ASSERT_TRUE(unrelated.start(other.file("xavformat.dll"), "", "", error)) << error;

    EncoderFolder folder;
    folder.writeEncoder(kEncoderWithChild);
    AVC job(&timer);
    EventLog log(job);
    start(job);
    const int child = std::stoi(waitForLine(folder.file("child.pid")));
    const int encoder = std::stoi(waitForLine(folder.file("encoder.pid")));
    ASSERT_TRUE(processAlive(child));
    job.CancelConvert();
    ASSERT_TRUE(runUntilEnd(job, timer, 5000));
    EXPECT_FALSE(processAlive(encoder));  // reaped
    EXPECT_TRUE(testing::processEnds(child));
    EXPECT_EQ(job.LastExitStatus().kind, platform::ExitStatus::Kind::Killed);
    EXPECT_EQ(log.events.back(), "Error: The conversion was cancelled");
    EXPECT_TRUE(unrelated.running());
    EXPECT_FALSE(unrelated.reap());

    const std::size_t events = log.events.size();
    job.CancelConvert();  // without a run: nothing happens
    EXPECT_EQ(log.events.size(), events);
}

TEST_F(EncoderRun, JobGoingAwayDuringARunEndsAndReapsItsEncoder) {
    EncoderFolder folder;
    folder.writeEncoder(kEncoderWithChild);
    auto job = std::make_unique<AVC>(&timer);
    start(*job);
    const int child = std::stoi(waitForLine(folder.file("child.pid")));
    const int encoder = std::stoi(waitForLine(folder.file("encoder.pid")));
    job.reset();
    EXPECT_FALSE(processAlive(encoder));  // reaped: not even a zombie is left
    EXPECT_TRUE(testing::processEnds(child));
    EXPECT_FALSE(timer.isActive());
}

TEST_F(EncoderRun, JobDeletedFromItsOwnConvertingHandlerStopsCleanly) {
    EncoderFolder folder;
    folder.writeEncoder("sleep 5");
    auto* job = new AVC(&timer);
    start(*job);
    int completes = 0;
    QObject::connect(job, &AVC::Complete, [&] { ++completes; });
    QObject::connect(job, &AVC::Converting, [&] { delete job; });
    job->Timer1_Timer();
    EXPECT_EQ(completes, 0);
    EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace zenvira::convert
