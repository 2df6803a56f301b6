// Without its FFmpeg module a program still runs: a probe reads nothing and a join fails, both
// with the reason, never a crash.
#include "media/media_file/media_probe.h"
#include "media/media_file/segment_join.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace zenvira::components {
namespace {

constexpr const char* kMissing = "/nonexistent/zenvira-media.so";
const std::string kReason = std::string("FFmpeg's libraries could not be loaded: ") + kMissing;

// Every case points the process at the same missing module before its first probe or join.
class MissingMediaModule : public testing::Test {
protected:
    void SetUp() override { setenv("ZENVIRA_MEDIA_MODULE", kMissing, 1); }
};

TEST_F(MissingMediaModule, AProbeReadsNothingAndSaysWhy) {
    const MediaFacts facts = probeMediaBytes("FLV\x01\x05\0\0\0\x09");
    EXPECT_FALSE(facts.recognised);
    EXPECT_EQ(facts.height, 0);
    EXPECT_TRUE(facts.error.starts_with(kReason)) << facts.error;
}

TEST_F(MissingMediaModule, AJoinFailsWithTheReasonAndWritesNothing) {
    QTemporaryDir folder;
    const std::string piece = folder.filePath("0.ts").toStdString(), output = folder.filePath("joined.mp4").toStdString();
    std::ofstream(piece) << std::string(188, 'G');
    const JoinResult joined = joinIntoMp4({piece}, output);
    EXPECT_FALSE(joined.ok);
    EXPECT_TRUE(joined.error.starts_with(kReason)) << joined.error;
    EXPECT_FALSE(std::filesystem::exists(output));
}

}  // namespace
}  // namespace zenvira::components
