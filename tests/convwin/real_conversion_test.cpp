// A person's whole path through the converter window: an FLV made by ffmpeg, the real encoder
// front as avformat.dll, a profile, "Complete!", and a file that plays (ffprobe reads it).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "convert/window/frmConv.h"
#include "tests/convert/encoder_folder.h"
#include "tests/convwin/convwin_support.h"
#include "tests/convwin/window_support.h"
#include "tests/encoder/media_fixture.h"
#include "tests/window/test_application.h"

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

    convert::frmConv w({window::TwipsPerPixel{15, 15}, iniSettings(app.file("../settings.ini"))});
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

}  // namespace
