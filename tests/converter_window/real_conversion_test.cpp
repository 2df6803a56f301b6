// A person's whole path through the converter window: an FLV made by ffmpeg, the real encoder
// front as avformat.dll, a profile, "Complete!", and a file that plays (ffprobe reads it).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "convert/window/frmConv.h"
#include "tests/convert/encoder_folder.h"
#include "tests/converter_window/convwin_support.h"
#include "tests/converter_window/window_support.h"
#include "tests/encoder/media_fixture.h"
#include "tests/support/test_application.h"

using namespace zenvira;
using namespace zenvira::convwin::testing;

namespace {

namespace fs = std::filesystem;

TEST(RealConversion, AnFlvBecomesAPlayableAviThroughTheWindow) {
    testApplication();
    convert::testing::EncoderFolder app("app");
    fs::copy_file(ZENVIRA_ENCODER_FRONT, app.file("avformat.dll"));
    const std::string source = app.file("../movie.flv");
    fs::copy_file(encoder::testing::clipPath(encoder::testing::Clip::PictureAndSound), source);
    MessageRecorder boxes;

    convert::frmConv w({ui::TwipsPerPixel{15, 15}, iniSettings(app.file("../settings.ini"))});
    ASSERT_TRUE(w.Form_Load());
    auto* format = control<QComboBox>(w, "cmbFormat");
    format->setCurrentIndex(format->findText("AVI (MPEG4-DivX-Compatible)"));
    control<QLineEdit>(w, "txtFname")->setText(QString::fromStdString(source));
    control<QPushButton>(w, "cmdConvert")->click();
    ASSERT_TRUE(runToComplete(w, 60000));
    EXPECT_EQ(control<QLabel>(w, "lblStatus")->text(), "Complete!");
    EXPECT_TRUE(boxes.messages.empty());

    const auto probed = encoder::testing::probeFile(app.file("../movie.avi"));
    ASSERT_TRUE(probed.ok);
    ASSERT_NE(probed.first("video"), nullptr);
    EXPECT_EQ(probed.first("video")->width, 320);
    EXPECT_EQ(probed.first("video")->height, 240);
    ASSERT_NE(probed.first("audio"), nullptr);
    EXPECT_EQ(probed.first("audio")->sampleRate, 22050);
    EXPECT_GT(probed.duration, 1.5);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The converter with the real front as its encoder, in a fresh application folder.
class ConverterWithRealFront : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        fs::copy_file(ZENVIRA_ENCODER_FRONT, app.file("avformat.dll"));
        owned = std::make_unique<convert::frmConv>(
            convert::FrmConvSetup{zenvira::ui::TwipsPerPixel{15, 15}, iniSettings(app.file("../settings.ini"))});
        ASSERT_TRUE(window().Form_Load());
    }
    convert::frmConv& window() { return *owned; }
    void convert(const std::string& source, const char* profile) {
        auto* format = control<QComboBox>(window(), "cmbFormat");
        format->setCurrentIndex(format->findText(profile));
        control<QLineEdit>(window(), "txtFname")->setText(QString::fromStdString(source));
        control<QPushButton>(window(), "cmdConvert")->click();
    }
    // The whole status: a long one is shortened on the label and whole in its tool tip.
    QString status() { return control<QLabel>(window(), "lblStatus")->toolTip(); }
    QColor statusColour() { return control<QLabel>(window(), "lblStatus")->palette().color(QPalette::WindowText); }

    convert::testing::EncoderFolder app{"app"};
    MessageRecorder boxes;
    std::unique_ptr<convert::frmConv> owned;
};

// Random bytes, or a file that is not there: the encoder's own reason in red, the same in a
// box, never "Complete!", and an earlier output of the same name is left as it was.
TEST_F(ConverterWithRealFront, AFailedConversionSaysWhyAndKeepsTheEarlierOutput) {
    const std::string source = app.file("../noise.flv");
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (auto& byte : noise) byte = static_cast<char>(random());
    writeFile(source, noise);
    writeFile(app.file("../noise.mp3"), "an earlier conversion");
    int completes = 0;
    QObject::connect(window().job(), &convert::AVC::Complete, [&] { ++completes; });

    convert(source, "MP3 Sound (MP3)");
    ASSERT_TRUE(runToEnd(window(), 60000));
    EXPECT_TRUE(status().startsWith("Error! ")) << status().toStdString();
    EXPECT_TRUE(control<QLabel>(window(), "lblStatus")->text().startsWith("Error! "));
    EXPECT_TRUE(status().contains("noise.flv")) << status().toStdString();
    EXPECT_EQ(statusColour(), QColor(255, 0, 0));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ("Error! " + boxes.messages[0].text, status().toStdString());
    EXPECT_EQ(readFile(app.file("../noise.mp3")), "an earlier conversion");
    EXPECT_FALSE(fs::exists(app.file("../.noise.part.mp3")));

    convert(app.file("../not there.flv"), "MP3 Sound (MP3)");
    ASSERT_TRUE(runToEnd(window(), 60000));
    EXPECT_TRUE(status().startsWith("Error! ")) << status().toStdString();
    EXPECT_TRUE(status().contains("No such file")) << status().toStdString();
    EXPECT_FALSE(fs::exists(app.file("../not there.mp3")));
    EXPECT_EQ(completes, 0);
}

// "Holiday.flv.d/song.flv" converts beside itself, not over "Holiday.mp3.d/song.mp3".
TEST_F(ConverterWithRealFront, TheOutputStaysInTheSourcesFolder) {
    fs::create_directories(app.file("../Holiday.flv.d"));
    fs::create_directories(app.file("../Holiday.mp3.d"));
    const std::string source = app.file("../Holiday.flv.d/song.flv");
    fs::copy_file(encoder::testing::clipPath(encoder::testing::Clip::PictureAndSound), source);
    writeFile(app.file("../Holiday.mp3.d/song.mp3"), "another song");

    convert(source, "MP3 Sound (MP3)");
    ASSERT_TRUE(runToComplete(window(), 60000));
    EXPECT_EQ(status(), "Complete!");
    EXPECT_EQ(readFile(app.file("../Holiday.mp3.d/song.mp3")), "another song");
    const auto probed = encoder::testing::probeFile(app.file("../Holiday.flv.d/song.mp3"));
    ASSERT_TRUE(probed.ok);
    EXPECT_NE(probed.first("audio"), nullptr);
}

// Closing the window mid-run: the encoder is stopped and leaves no file at all, neither a
// truncated output nor its temporary one. (A stand-in ffmpeg that writes slowly.)
TEST_F(ConverterWithRealFront, ClosingDuringARunLeavesNothing) {
    const std::string ffmpeg = app.file("slow-ffmpeg");
    writeFile(ffmpeg, "#!/bin/sh\nfor last; do :; done\necho partial > \"$last\"\n"
                      "echo $$ > \"$(dirname \"$0\")/pid\"\nwhile :; do sleep 0.02; done\n");
    fs::permissions(ffmpeg, fs::perms::owner_all);
    qputenv("ZENVIRA_FFMPEG", QByteArray::fromStdString(ffmpeg));
    const std::string source = app.file("../clip.flv");
    fs::copy_file(encoder::testing::clipPath(encoder::testing::Clip::PictureAndSound), source);

    auto* closing = new convert::frmConv({zenvira::ui::TwipsPerPixel{15, 15}, iniSettings(app.file("../settings.ini"))});
    closing->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<convert::frmConv> open(closing);
    ASSERT_TRUE(closing->Form_Load());
    auto* format = control<QComboBox>(*closing, "cmbFormat");
    format->setCurrentIndex(format->findText("MP3 Sound (MP3)"));
    control<QLineEdit>(*closing, "txtFname")->setText(QString::fromStdString(source));
    control<QPushButton>(*closing, "cmdConvert")->click();
    const std::string pid = convert::testing::waitForLine(app.file("pid"));
    qunsetenv("ZENVIRA_FFMPEG");
    ASSERT_FALSE(pid.empty());
    EXPECT_TRUE(fs::exists(app.file("../.clip.part.mp3")));

    closing->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
    EXPECT_TRUE(convert::testing::processEnds(std::stoi(pid)));
    EXPECT_FALSE(fs::exists(app.file("../clip.mp3")));
    EXPECT_FALSE(fs::exists(app.file("../.clip.part.mp3")));
}

}  // namespace
