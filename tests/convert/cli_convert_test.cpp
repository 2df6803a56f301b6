// zenvira-cli convert and profiles, run as a person would, from an application folder that
// holds a copy of the CLI and a stand-in encoder.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fstream>

#include "convert/output_profiles.h"
#include "tests/convert/encoder_folder.h"

namespace zenvira::convert {
namespace {

namespace fs = std::filesystem;
using testing::EncoderFolder;

struct CliResult {
    int exitCode = -1;
    std::string out, err;
};

class CliConvert : public ::testing::Test {
protected:
    void SetUp() override {
        testing::testApp();
        fs::copy_file(ZENVIRA_CLI, folder.file("zenvira-cli"));
        source = folder.path() + "/my clip.flv";
        std::ofstream(source) << "FLV";
    }
    CliResult run(const QStringList& arguments) {
        QProcess process;
        process.start(QString::fromStdString(folder.file("zenvira-cli")), arguments);
        process.waitForFinished(15000);
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }
    EncoderFolder folder;
    std::string source;
};

// Copies the input (second argument) to the output (last argument).
const char* kCopyingEncoder = "sleep 0.4; eval \"last=\\${$#}\"; cp \"$2\" \"$last\"";

TEST_F(CliConvert, ProfilesAreListedInTableOrder) {
    const CliResult r = run({"profiles"});
    EXPECT_EQ(r.exitCode, 0);
    std::string expected;
    for (const auto& profile : outputProfiles()) expected += std::string(profile.name) + "\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(CliConvert, PrintShowsTheCommandLineWithoutRunningIt) {
    folder.writeEncoder("touch \"$here/ran\"");
    const CliResult r = run({"convert", "--print", QString::fromStdString(source), "MP3 Sound (MP3)"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The words the encoder gets, in single quotes where a POSIX shell would split or expand.
    EXPECT_EQ(r.out, folder.file("avformat.dll") + " -i '" + source +
                         "' -y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 '" + folder.path() + "/my clip.mp3'\n");
    EXPECT_FALSE(fs::exists(folder.file("ran")));
}

TEST_F(CliConvert, ConvertShowsProgressAndSucceedsWhenTheFileIsWritten) {
    folder.writeEncoder(kCopyingEncoder);
    const CliResult r = run({"convert", QString::fromStdString(source), "Zune WMV"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Saved " + folder.path() + "/my clip.wmv\n");
    EXPECT_NE(r.err.find(".."), std::string::npos) << r.err;  // a dot per tick
    EXPECT_TRUE(fs::exists(folder.path() + "/my clip.wmv"));
}

TEST_F(CliConvert, FailsWhenTheEncoderFailsOrWritesNothing) {
    folder.writeEncoder("echo 'my clip.flv: Invalid data found when processing input' >&2; exit 1");
    CliResult r = run({"convert", QString::fromStdString(source), "Zune WMV"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error! my clip.flv: Invalid data found when processing input"), std::string::npos) << r.err;

    folder.writeEncoder("exit 0");
    r = run({"convert", QString::fromStdString(source), "Zune WMV"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error! The encoder made no file"), std::string::npos) << r.err;
}

TEST_F(CliConvert, RefusalsAreReported) {
    CliResult r = run({"convert", QString::fromStdString(source), "MP3 Sound (MP3)"});  // no encoder
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error! Unable to locate avformat.dll"), std::string::npos) << r.err;

    r = run({"convert", QString::fromStdString(source), "mp3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Not Supported: Error: mp3 is not defined."), std::string::npos) << r.err;

    r = run({"convert", "--print", QString::fromStdString(source)});
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace zenvira::convert
