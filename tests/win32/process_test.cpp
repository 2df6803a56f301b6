// The Windows process runner: one pipe for the child's output and error, polled without
// waiting, the exit seen, and a cancel that ends the child's own tree and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/process.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

using platform::ChildProcess;
using platform::ExitStatus;
using Clock = std::chrono::steady_clock;

// Polls like the converter's timer until the run is over; the bytes drained.
std::size_t pollToEnd(ChildProcess& child, int timeoutMs = 20000) {
    std::size_t bytes = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const platform::PipeDrain drained = child.drain(1 << 20);
        bytes += drained.bytes;
        if (drained.ended && child.reap()) return bytes;
        if (Clock::now() > deadline) return bytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST(Win32Runner, OutputAndErrorShareOnePipeThatIsReadWithoutWaiting) {
    // "out\r\n" and "error\r\n" (the C runtime's text mode), then a silent second.
    setStandInSteps("out=out;err=error;sleep=4000;exit=0");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(standInPath(), "", "", error)) << error;
    std::size_t early = 0;
    const auto started = Clock::now();
    while (early < 12 && Clock::now() - started < std::chrono::seconds(10)) {
        const platform::PipeDrain drained = child.drain(1 << 20);
        EXPECT_FALSE(drained.ended);
        early += drained.bytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(early, 12u);
    // The child is silent now and still running: a poll returns at once with nothing.
    const auto before = Clock::now();
    const platform::PipeDrain idle = child.drain(1 << 20);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(idle.bytes, 0u);
    EXPECT_FALSE(idle.ended);
    EXPECT_FALSE(child.reap());
    EXPECT_TRUE(child.running());
    pollToEnd(child);
    EXPECT_FALSE(child.running());
    EXPECT_TRUE(child.exitStatus().success());
}

TEST(Win32Runner, TheExitCodeIsSeenAndALoudChildNeverStalls) {
    setStandInSteps("flood=3000000;exit=7");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(standInPath(), "", " any arguments", error)) << error;
    EXPECT_EQ(pollToEnd(child), 3000000u);
    EXPECT_EQ(child.exitStatus().kind, ExitStatus::Kind::Exited);
    EXPECT_EQ(child.exitStatus().code, 7);
    EXPECT_EQ(child.exitStatus().describe(), "exit code 7");
}

TEST(Win32Runner, AProgramThatIsNotThereIsReportedWithTheSystemsReason) {
    ChildProcess child;
    std::string error;
    EXPECT_FALSE(child.start("C:\\no such folder\\avformat.dll", "", "", error));
    EXPECT_NE(error.find("Cannot start C:\\no such folder\\avformat.dll: "), std::string::npos) << error;
    EXPECT_FALSE(child.running());
}

TEST(Win32Runner, TheCommandLineIsHandedOverExactlyAsWritten) {
    TestFolder folder("line");
    setStandInSteps("record=" + folder.file("line.txt"));
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(standInPath(), "STAND~1.EXE", " -i \"C:\\a b\\c.flv\" -s 320 x 240 \"d.avi\"", error))
        << error;
    pollToEnd(child);
    EXPECT_EQ(readText(folder.file("line.txt")),
              "STAND~1.EXE -i \"C:\\a b\\c.flv\" -s 320 x 240 \"d.avi\"\n-i\nC:\\a b\\c.flv\n-s\n320\nx\n240\nd.avi\n");
}

TEST(Win32Runner, TheChildInheritsItsOwnPipeAndNothingElseOfOurs) {
    // An inheritable pipe end of ours, as another child's would be while it is handed over.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    setStandInSteps("sleep=60000");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(standInPath(), "", "", error)) << error;
    ::CloseHandle(writeEnd);
    // Ours was the last write end: the pipe has ended although the child still runs.
    DWORD available = 0;
    EXPECT_FALSE(::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_TRUE(child.running());
    ::CloseHandle(readEnd);
    child.terminateGroup();
    pollToEnd(child);
}

TEST(Win32Runner, CancelEndsTheChildAndWhatItStartedButNoOtherProcessOfThatName) {
    TestFolder folder("cancel");
    // Another program named like the encoder, started by someone else.
    const std::string otherEncoder = folder.file("xavformat.dll");
    ASSERT_TRUE(copyFile(standInPath(), otherEncoder));
    setStandInSteps("sleep=60000");
    OtherProcess bystander(otherEncoder);
    ASSERT_TRUE(bystander.started());

    const std::string encoder = folder.file("avformat.dll");
    ASSERT_TRUE(copyFile(standInPath(), encoder));
    setStandInSteps("pid=" + folder.file("encoder.pid") + ";spawn=" + folder.file("child.pid") + ";sleep=60000");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(encoder, "", "", error)) << error;
    const auto encoderPid = static_cast<DWORD>(std::stoul(waitForText(folder.file("encoder.pid"))));
    const auto grandchildPid = static_cast<DWORD>(std::stoul(waitForText(folder.file("child.pid"))));
    ASSERT_TRUE(processRunning(grandchildPid));

    child.terminateGroup();
    pollToEnd(child);
    EXPECT_EQ(child.exitStatus().kind, ExitStatus::Kind::Killed);
    EXPECT_EQ(child.exitStatus().describe(), "ended by a cancel");
    EXPECT_TRUE(processEnds(encoderPid));
    EXPECT_TRUE(processEnds(grandchildPid));
    EXPECT_TRUE(bystander.running());
}

TEST(Win32Runner, ARunnerThatGoesAwayTakesItsChildTreeWithIt) {
    TestFolder folder("gone");
    setStandInSteps("spawn=" + folder.file("child.pid") + ";sleep=60000");
    DWORD grandchildPid = 0;
    {
        ChildProcess child;
        std::string error;
        ASSERT_TRUE(child.start(standInPath(), "", "", error)) << error;
        grandchildPid = static_cast<DWORD>(std::stoul(waitForText(folder.file("child.pid"))));
        ASSERT_TRUE(processRunning(grandchildPid));
    }
    EXPECT_TRUE(processEnds(grandchildPid));
}

}  // namespace
}  // namespace zenvira::win32test
