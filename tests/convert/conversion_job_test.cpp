// ConvertMedia's checks, the settings' lifetime and the command line the encoder receives.
#include <gtest/gtest.h>

#include <QTimer>

#include "convert/conversion_job.h"
#include "convert/convert_flv.h"
#include "tests/convert/encoder_folder.h"

namespace zenvira::convert {
namespace {

using testing::EncoderFolder;
using testing::EventLog;
using testing::runUntilComplete;
using testing::runUntilEnd;
using testing::kWriteDestination;
using Words = std::vector<std::string>;

// Writes its arguments, one a line, into args.txt beside itself.
const char* kRecordArguments = "printf '%s\\n' \"$@\" > \"$here/args.txt\"";

class ConversionJob : public ::testing::Test {
protected:
    void SetUp() override { testing::testApp(); }
    QTimer timer;
};

TEST_F(ConversionJob, ChecksRunInOrderAndTheFirstFailureEndsTheCall) {
    EncoderFolder folder;  // no encoder in it yet
    AVC job(&timer);
    EventLog log(job);
    job.ConvertMedia(true);
    job.SourceFile("/v/in.flv");
    job.ConvertMedia(true);
    job.DestFile("/v/out.mp3");
    job.ConvertMedia(true);
    EXPECT_EQ(log.events, (Words{"Error: No source filename defined", "Error: No destination filename defined",
                                 "Error: Unable to locate avformat.dll"}));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(ConversionJob, StoppedAttemptKeepsSettingsAndTheNextConversionCarriesThem) {
    EncoderFolder folder;
    AVC job(&timer);
    EventLog log(job);
    ConvertFLV(job, "Zune WMV", "/v/clip.flv");  // stops: no encoder
    ASSERT_EQ(log.events, Words{"Error: Unable to locate avformat.dll"});
    folder.writeEncoder("exit 0");
    ASSERT_TRUE(assignConversion(job, "iPOD Nano (MP3)", "/v/clip.flv"));
    EXPECT_EQ(job.PreviewCommandLine(true).commandLine,
              folder.file("avformat.dll") +
                  " -i \"/v/clip.flv\" -y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -acodec mp3 -ab 128 -ar 48000 "
                  "-ac 2 \"/v/clip.mp3\"");
}

TEST_F(ConversionJob, CompletedRunClearsSettingsBeforeComplete) {
    EncoderFolder folder;
    folder.writeEncoder(kWriteDestination);
    AVC job(&timer);
    std::string atComplete;
    QObject::connect(&job, &AVC::Complete, [&] { atComplete = job.PreviewCommandLine(false).error; });
    ConvertFLV(job, "Zune WMV", folder.file("clip.flv"));
    ASSERT_TRUE(runUntilComplete(job, timer));
    EXPECT_EQ(atComplete, "No source filename defined");

    // Only the new profile's settings are sent now.
    ASSERT_TRUE(assignConversion(job, "iPOD Nano (MP3)", "/v/clip.flv"));
    EXPECT_EQ(job.PreviewCommandLine(true).commandLine,
              folder.file("avformat.dll") + " -i \"/v/clip.flv\" -y -acodec mp3 \"/v/clip.mp3\"");
}

TEST_F(ConversionJob, EncoderReceivesEachArgumentWholeFromAFolderWithBlanks) {
    EncoderFolder folder("Zenvira App Folder");
    folder.writeEncoder(kRecordArguments);
    AVC job(&timer);
    job.SourceFile("/my videos/a clip.flv");
    job.DestFile("/my videos/a clip.avi");
    job.VideoSize("320 x 240");  // an unquoted value with blanks becomes several words
    job.VideoCodec("mpeg4");
    job.ConvertMedia(false);
    EXPECT_EQ(job.PreviewCommandLine(false).commandLine,
              folder.file("avformat.dll") +
                  " -i \"/my videos/a clip.flv\" -s 320 x 240 -vcodec mpeg4 \"/my videos/a clip.avi\"");
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(folder.lines("args.txt"), (Words{"-i", "/my videos/a clip.flv", "-s", "320", "x", "240", "-vcodec",
                                               "mpeg4", "/my videos/a clip.avi"}));
}

TEST_F(ConversionJob, EncoderFileInAnyLetterCaseIsFoundAndStarted) {
    EncoderFolder folder;
    folder.writeEncoder(kRecordArguments, "AVFORMAT.DLL");
    AVC job(&timer);
    EventLog log(job);
    ConvertFLV(job, "MP3 Sound (MP3)", "/v/clip.flv");
    EXPECT_EQ(job.PreviewCommandLine(true).commandLine.rfind(folder.file("AVFORMAT.DLL") + " -i ", 0), 0u);
    ASSERT_TRUE(runUntilEnd(job, timer));
    EXPECT_EQ(folder.lines("args.txt").front(), "-i");
}

TEST_F(ConversionJob, PathWithADoubleQuoteIsRefusedNotSplitIntoOptions) {
    EncoderFolder folder;
    folder.writeEncoder(kRecordArguments);
    AVC job(&timer);
    EventLog log(job);
    ConvertFLV(job, "MP3 Sound (MP3)", "/v/a\" -f rawvideo \"b.flv");
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_NE(log.events[0].find("double quote"), std::string::npos) << log.events[0];
    EXPECT_FALSE(job.IsRunning());

    job.SourceFile("/v/clip.flv");
    job.DestFile("/v/dir\\");  // would escape the closing quote
    job.ConvertMedia(true);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_NE(log.events[1].find("backslash"), std::string::npos) << log.events[1];
    EXPECT_FALSE(job.IsRunning());
}

TEST_F(ConversionJob, SecondConvertDuringARunIsRefusedAndTheFirstGoesOn) {
    EncoderFolder folder;
    folder.writeEncoder(std::string("sleep 0.3\n") + kWriteDestination);
    AVC job(&timer);
    EventLog log(job);
    ConvertFLV(job, "MP3 Sound (MP3)", folder.file("one.flv"));
    ASSERT_TRUE(job.IsRunning());
    EXPECT_EQ(timer.interval(), 300);
    EXPECT_TRUE(timer.isActive());
    ConvertFLV(job, "Zune WMV", "/v/two.flv");
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_NE(log.events[0].find("already running"), std::string::npos);
    ASSERT_TRUE(runUntilComplete(job, timer));
    EXPECT_EQ(log.count("Complete"), 1);
    EXPECT_TRUE(job.LastExitStatus().success());
}

TEST_F(ConversionJob, ConvertFromAConvertingHandlerIsRefusedUpToTheLastTick) {
    EncoderFolder folder;
    folder.writeEncoder(kWriteDestination);
    AVC job(&timer);
    EventLog log(job);
    QObject::connect(&job, &AVC::Converting, [&] { job.ConvertMedia(true); });
    ConvertFLV(job, "MP3 Sound (MP3)", folder.file("one.flv"));
    ASSERT_TRUE(runUntilComplete(job, timer));
    EXPECT_EQ(log.events.back(), "Complete");
    EXPECT_EQ(log.count("Error: " + std::string("A conversion is already running. Wait until it is complete before "
                                                "starting another one.")),
              log.count("Converting"));
    EXPECT_FALSE(job.IsRunning());
}

TEST_F(ConversionJob, SystemRefusingTheStartRaisesNothingAndKeepsSettings) {
    EncoderFolder folder;
    folder.writeEncoder("exit 0", "avformat.dll", /*executable=*/false);
    AVC job(&timer);
    EventLog log(job);
    ConvertFLV(job, "MP3 Sound (MP3)", "/v/clip.flv");
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(timer.isActive());
    EXPECT_NE(job.LastStartFailure().find("Permission denied"), std::string::npos) << job.LastStartFailure();
    EXPECT_TRUE(job.PreviewCommandLine(true).ok);
}

}  // namespace
}  // namespace zenvira::convert
