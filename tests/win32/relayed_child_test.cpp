// The encoder front's children on Windows: an output read through a pipe (the source probe,
// the AMR decoder) and an input written through one (the AMR stream), byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "encoder/source_probe.h"
#include "platform/relayed_child.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

using platform::relay::ChildInputPipe;
using platform::relay::ChildProcess;

TEST(Win32RelayedChild, TheSourceProbeReadsWhatTheChildWrites) {
    setStandInSteps("out=video;out=audio");
    const auto streams = encoder::probeSource(standInPath(), "C:\\v\\clip.flv");
    ASSERT_TRUE(streams.has_value());
    EXPECT_TRUE(streams->video);
    EXPECT_TRUE(streams->audio);

    setStandInSteps("out=audio;exit=1");  // a probe that fails says nothing
    EXPECT_FALSE(encoder::probeSource(standInPath(), "C:\\v\\clip.flv").has_value());
}

TEST(Win32RelayedChild, AnInputPipeReachesTheChildsStandardInputUnchanged) {
    TestFolder folder("input");
    setStandInSteps("stdin=" + folder.file("got.bin") + ";exit=4");
    ChildInputPipe input;
    std::string error;
    ASSERT_TRUE(input.open(error)) << error;
    ChildProcess child;
    ASSERT_TRUE(child.start(standInPath(), {"pipe:" + std::to_string(platform::relay::kChildInputNumber)}, false,
                            error, &input))
        << error;
    // Line breaks and a Ctrl+Z, which a text-mode pipe would change or stop at.
    const std::string bytes = std::string("#!AMR\n\r\n\x1a\x00\xff", 10) + std::string(100000, 'a');
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), input.writer()), bytes.size());
    EXPECT_TRUE(input.closeWriter());
    EXPECT_EQ(child.wait().exitCode, 4);
    EXPECT_EQ(readText(folder.file("got.bin")), bytes);
}

}  // namespace
}  // namespace zenvira::win32test
