// The profile table as the job receives it, the name lookup and the output path.
#include <gtest/gtest.h>

#include <QTimer>

#include "components/msg_box/msg_box.h"
#include "convert/conversion_job.h"
#include "convert/convert_flv.h"
#include "convert/output_profiles.h"
#include "tests/convert/encoder_folder.h"

namespace zenvira::convert {
namespace {

using testing::EncoderFolder;

struct Expected {
    const char* name;
    const char* extension;
    const char* options;
};

// Written out from the product's profile table, option by option, in the command line's order.
const Expected kExpected[] = {
    {"WAVE Sound (WAV)", ".wav", "-y -f wav -acodec pcm_s16le -ab 128 -ar 41000 -ac 2 "},
    {"MP3 Sound (MP3)", ".mp3", "-y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 "},
    {"3G2 (for Mobile)", ".3g2", "-y -b 120 -r 11 -s 176x144 -vcodec mpeg4 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1 "},
    {"3GP (for Mobile)", ".3gp", "-y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1 "},
    {"Zune WMV", ".wmv", "-y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -acodec mp3 -ab 128 -ar 48000 -ac 2 "},
    {"Zune MPEG-4 AVC", ".avi",
     "-y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 64 "
     "-ar 48000 -ac 2 "},
    {"Zune MPEG-4 Video", ".avi", "-y -b 1500 -r 29.97 -s 320x240 -vcodec mpeg4 -acodec aac -ab 128 -ar 48000 -ac 2 "},
    {"Sony PSP (PSP AVC)", ".avi",
     "-y -b 400 -r 29.97 -s 368x208 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 128 "
     "-ar 48000 -ac 2 "},
    {"Sony PSP (Minimal Size)", ".avi", "-y -b 216 -r 29.97 -s 160x112 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"Sony PSP (Excellent Quality)", ".avi",
     "-y -b 768 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"Sony PSP (Normal)", ".avi", "-y -b 512 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"QuickTime MOV", ".mov", "-y -b 360 -r 29.97 -s 320x240 -deinterlace -sameq -acodec aac -ab 48 -ar 44100 -ac 2 "},
    {"RM (RealONE/RealPlayer)", ".rm", "-y -vcodec rv20 -deinterlace -sameq -ar 44100 -ac 2 "},
    {"WMV(WindowsMedia-Best Quality)", ".wmv", "-y -vcodec wmv2 -deinterlace -sameq -ac 2 "},
    {"WMV(WindowsMedia-Compatible)", ".wmv", "-y -vcodec wmv2 -deinterlace -sameq -ar 44100 -ac 2 "},
    {"MPEG (Best Quality)", ".mpg", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ac 2 "},
    {"MPEG (Max Compatible)", ".mpg", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ar 44100 -ac 2 "},
    {"iPOD Nano (MP3)", ".mp3", "-y -acodec mp3 "},
    {"iPOD Mini (MP3)", ".mp3", "-y -acodec mp3 "},
    {"iPOD Shuffle (MP3)", ".mp3", "-y -acodec mp3 "},
    {"iPhone Video", ".mpg", "-y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2 "},
    {"iPOD Video2 (640x480) MPEG4", ".mpg",
     "-y -b 1200 -s 640x480 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2 "},
    {"iPOD Video (320x240) MPEG4", ".mpg",
     "-y -b 512 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 64 -ar 44100 -ac 2 "},
    {"AVI (MPEG4-XviD-Best Quality)", ".avi", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 "},
    {"AVI (MPEG4-XviD-Compatible)", ".avi",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ab 48 -ar 22050 -ac 2 "},
    {"AVI (MPEG4-DivX-Best Quality)", ".avi",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ac 2 "},
    {"AVI (MPEG4-DivX-Compatible)", ".avi",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ab 48 -ar 22050 -ac 2 "},
};

TEST(OutputProfiles, EveryProfileSendsExactlyItsOptionsAndExtension) {
    testing::testApp();
    EncoderFolder folder;
    folder.writeEncoder("exit 0");
    ASSERT_EQ(std::size(kExpected), outputProfiles().size());
    for (std::size_t i = 0; i < std::size(kExpected); ++i) {
        const Expected& e = kExpected[i];
        SCOPED_TRACE(e.name);
        EXPECT_STREQ(outputProfiles()[i].name, e.name);  // the table's order is the match order
        QTimer timer;
        AVC job(&timer);
        ASSERT_TRUE(assignConversion(job, e.name, "/v/clip.flv"));
        const CommandLinePreview preview = job.PreviewCommandLine(true);
        ASSERT_TRUE(preview.ok) << preview.error;
        EXPECT_EQ(preview.commandLine, folder.file("avformat.dll") + " -i \"/v/clip.flv\" " + e.options +
                                           "\"/v/clip" + e.extension + "\"");
    }
}

TEST(OutputProfiles, NamesMatchWholeAndCaseSensitively) {
    ASSERT_NE(findProfile("WAVE Sound (WAV)"), nullptr);
    EXPECT_EQ(findProfile("wave sound (wav)"), nullptr);
    EXPECT_EQ(findProfile("WAVE Sound (WAV) "), nullptr);
    EXPECT_EQ(findProfile("WAVE Sound"), nullptr);
    EXPECT_EQ(findProfile(""), nullptr);
}

TEST(OutputPath, EveryLowerCaseFlvIsReplacedFoldersIncluded) {
    EXPECT_EQ(outputPathFor("C:\\v\\clip.flv", ".wmv"), "C:\\v\\clip.wmv");
    // The output stays beside its source: ".flv" in a folder name is left alone.
    EXPECT_EQ(outputPathFor("C:\\a.flv.d\\b.flv", ".mpg"), "C:\\a.flv.d\\b.mpg");
    EXPECT_EQ(outputPathFor("/m/Holiday.flv.d/song.flv.flv", ".mp3"), "/m/Holiday.flv.d/song.mp3.mp3");
    EXPECT_EQ(outputPathFor("/m/Holiday.flv.d/SONG.FLV", ".mp3"), "/m/Holiday.flv.d/SONG.mp3");
    EXPECT_EQ(outputPathFor("/home/u/My.FLV.flv", ".mp3"), "/home/u/My.FLV.mp3");
}

TEST(OutputPath, NeverTheSourceItself) {
    // Without ".flv" the replacement changes nothing: the name's own extension goes instead.
    EXPECT_EQ(outputPathFor("C:\\v\\CLIP.FLV", ".wmv"), "C:\\v\\CLIP.wmv");
    EXPECT_EQ(outputPathFor("/v/clip.Flv", ".avi"), "/v/clip.avi");
    EXPECT_EQ(outputPathFor("/v.d/clip", ".avi"), "/v.d/clip.avi");
    EXPECT_EQ(outputPathFor("/v/.hidden", ".avi"), "/v/.hidden.avi");
    // The source already has the target extension, in either case.
    EXPECT_EQ(outputPathFor("/v/song.mp3", ".mp3"), "/v/song (converted).mp3");
    EXPECT_EQ(outputPathFor("C:\\v\\SONG.MP3", ".mp3"), "C:\\v\\SONG (converted).mp3");
}

struct RecordedBox {
    std::string text, title;
    int style = -1;
    int count = 0;
};

class NotSupportedBox : public ::testing::Test {
protected:
    void SetUp() override {
        testing::testApp();
        components::setMsgBoxHandler([this](const std::string& text, int style, const std::string& title) {
            box = {text, title, style, box.count + 1};
            return components::MsgBoxResult::Ok;
        });
    }
    void TearDown() override { components::setMsgBoxHandler({}); }
    RecordedBox box;
};

TEST_F(NotSupportedBox, UnknownNameShowsTheBoxAndLeavesTheJobAlone) {
    EncoderFolder folder;
    folder.writeEncoder("exit 0");
    QTimer timer;
    AVC job(&timer);
    testing::EventLog log(job);
    ConvertFLV(job, "wave sound (wav)", "/v/clip.flv");
    EXPECT_EQ(box.count, 1);
    EXPECT_EQ(box.text, "Error: wave sound (wav) is not defined.");
    EXPECT_EQ(box.title, "Not Supported");
    EXPECT_EQ(box.style, 48);
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(job.PreviewCommandLine(true).error, "No source filename defined");  // nothing assigned

    ConvertFLV(job, "", "/v/clip.flv");
    EXPECT_EQ(box.text, "Error:  is not defined.");
}

}  // namespace
}  // namespace zenvira::convert
