// The converter window on the offscreen platform: its controls, the encoder check and offer
// at load, the remembered profile, the commands, the status animation over real runs of a
// stand-in encoder, the close during a run, the skin and the fixed size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "components/file_dialog/file_dialog.h"
#include "convert/conversion_job.h"
#include "convert/output_profiles.h"
#include "convert/window/frmConv.h"
#include "tests/convert/encoder_folder.h"
#include "tests/converter_window/convwin_support.h"
#include "tests/converter_window/product_site.h"
#include "tests/converter_window/window_support.h"
#include "tests/site/fixture_site.h"
#include "tests/support/test_application.h"

using namespace zenvira;
using namespace zenvira::convwin::testing;
using convert::frmConv;
using convert::FrmConvSetup;

namespace {

namespace fs = std::filesystem;

constexpr const char* kDependencyText =
    "FFMPG requires avformat.dll which is not available in app folder.\r\n"
    "To start downloading now Click YES or NO to download Manually.";
constexpr const char* kManualText = "Download it from https://www.zenvira.net/files/avformat.zip\r\nExtract in app folder";
const QColor kDarkGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

class ConverterWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        fs::create_directories(driveC);
    }

    FrmConvSetup setup() const { return {ui::TwipsPerPixel{15, 15}, iniSettings(settingsFile)}; }
    void installStandInEncoder(const std::string& body = "sleep 0.4", const std::string& name = "avformat.dll") {
        app.writeEncoder(body, name);
    }
    void installSkin() const {
        fs::copy(fs::path(ZENVIRA_SOURCE_DIR) / "Styles", app.file("Styles"), fs::copy_options::recursive);
    }
    std::string sourceFile() const {
        writeFile(app.file("../clip.flv"), "FLV");
        return fs::weakly_canonical(app.file("../clip.flv")).string();
    }

    static QString statusText(frmConv& w) { return control<QLabel>(w, "lblStatus")->text(); }
    static QColor statusColour(frmConv& w) {
        return control<QLabel>(w, "lblStatus")->palette().color(QPalette::WindowText);
    }
    static void setSource(frmConv& w, const std::string& path) {
        control<QLineEdit>(w, "txtFname")->setText(QString::fromStdString(path));
    }
    static void clickConvert(frmConv& w) { control<QPushButton>(w, "cmdConvert")->click(); }

    convert::testing::EncoderFolder app{"app"};
    std::string settingsFile = app.file("../settings.ini");  // beside the application folder, not in it
    std::string driveC = app.file("../drive-c");
    ScopedEnv drive{"ZENVIRA_DRIVE_C", driveC};
};

// How many pixels of an image are within a small distance of a colour.
int pixelsNear(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                         std::abs(c.blue() - colour.blue()) < 60;
        }
    return count;
}

// --- the window as designed --------------------------------------------------------------

TEST_F(ConverterWindow, ControlsCarryTheirTextsPlacesAndFonts) {
    installStandInEncoder();
    installSkin();
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_EQ(w.windowTitle(), "FLV Converter");

    const struct {
        const char* name;
        QString text;
        QRect place;  // twips / 15
    } expected[] = {
        {"Label2", "Select file", {8, 8, 81, 17}},        {"txtFname", "", {8, 32, 257, 23}},
        {"cmdLoad", "Browse", {272, 32, 49, 23}},         {"Label1", "Select format", {8, 64, 81, 17}},
        {"cmbFormat", {}, {8, 88, 257, 21}},              {"cmdConvert", "Convert", {272, 88, 49, 23}},
        {"lblStatus", "Status:", {8, 120, 217, 17}},      {"pbConv", {}, {0, 144, 321, 17}},
    };
    for (const auto& e : expected) {
        QWidget* c = control(w, e.name);
        EXPECT_EQ(c->geometry(), e.place) << e.name;
        if (auto* label = qobject_cast<QLabel*>(c)) {
            EXPECT_EQ(label->text(), e.text) << e.name;
        } else if (auto* button = qobject_cast<QPushButton*>(c)) {
            EXPECT_EQ(button->text(), e.text) << e.name;
        } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            EXPECT_EQ(edit->text(), e.text) << e.name;
        }
        if (std::string(e.name) == "pbConv") continue;
        // The skin gives the window its own font; every control keeps the one it was designed with.
        const QFont font = c->font();
        const bool status = std::string(e.name) == "lblStatus";
        const bool caption = std::string(e.name) == "Label1" || std::string(e.name) == "Label2";
        EXPECT_EQ(font.family(), status ? "Verdana" : "Tahoma") << e.name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25) << e.name;
        EXPECT_EQ(font.bold(), status || caption) << e.name;
    }
    EXPECT_EQ(statusColour(w), kDarkGreen);
    auto* bar = control<QProgressBar>(w, "pbConv");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(ConverterWindow, WearsTheMainWindowsSkin) {
    installStandInEncoder();
    installSkin();
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    ASSERT_TRUE(w.skinApplied()) << w.skinError().toStdString();
    // The brushed background runs from light at the top to darker at the bottom.
    const QImage picture = w.grab().toImage();
    const QColor top = picture.pixelColor(picture.width() - 3, 2);
    const QColor bottom = picture.pixelColor(picture.width() - 3, picture.height() - 3);
    EXPECT_GT(top.lightness(), bottom.lightness() + 20) << top.name().toStdString() << " over " << bottom.name().toStdString();
}

TEST_F(ConverterWindow, KeepsItsFixedSize) {
    installStandInEncoder();
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_EQ(w.size(), QSize(331, 172));  // before a frame is known: the client area laid out, 4965 x 2580 twips
    w.show();
    const QSize outer(333, 206);  // 4995 x 3090 twips, frame included
    EXPECT_EQ(w.frameGeometry().size(), outer);
    w.resize(600, 400);
    EXPECT_EQ(w.frameGeometry().size(), outer);
    w.setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.frameGeometry().size(), outer);
}

// --- load: the encoder check --------------------------------------------------------------

TEST_F(ConverterWindow, WithTheEncoderInPlaceTheLoadAsksNothingAndListsTheProfiles) {
    installStandInEncoder();
    MessageRecorder boxes;
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_TRUE(boxes.messages.empty());
    ASSERT_NE(w.job(), nullptr);

    auto* format = control<QComboBox>(w, "cmbFormat");
    EXPECT_EQ(format->currentText(), "WMV(WindowsMedia-Best Quality)");
    const QStringList listed = [&] {
        QStringList items;
        for (int i = 0; i < format->count(); ++i) items << format->itemText(i);
        return items;
    }();
    EXPECT_EQ(listed, (QStringList{"AVI (MPEG4-DivX-Compatible)", "AVI (MPEG4-DivX-Best Quality)",
                                   "AVI (MPEG4-XviD-Compatible)", "AVI (MPEG4-XviD-Best Quality)",
                                   "iPOD Video (320x240) MPEG4", "iPOD Video2 (640x480) MPEG4", "iPhone Video",
                                   "iPOD Nano (MP3)", "iPOD Mini (MP3)", "iPOD Shuffle (MP3)", "MPEG (Max Compatible)",
                                   "MPEG (Best Quality)", "WMV(WindowsMedia-Compatible)",
                                   "WMV(WindowsMedia-Best Quality)", "RM (RealONE/RealPlayer)", "QuickTime MOV",
                                   "Sony PSP (Normal)", "Sony PSP (Excellent Quality)", "Sony PSP (Minimal Size)",
                                   "Sony PSP (PSP AVC)", "Zune MPEG-4 Video", "Zune MPEG-4 AVC", "Zune WMV",
                                   "3GP (for Mobile)", "3G2 (for Mobile)", "MP3 Sound (MP3)", "WAVE Sound (WAV)"}));
    // Every entry converts: the list and the profiles agree on every name.
    for (const QString& name : listed) EXPECT_NE(convert::findProfile(name.toStdString()), nullptr) << name.toStdString();
}

TEST_F(ConverterWindow, MissingEncoderAnsweredNoTellsWhereToGetItAndOpens) {
    MessageRecorder boxes([](const Message&) { return 7; });  // No
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[0].text, kDependencyText);
    EXPECT_EQ(boxes.messages[0].style, 68);
    EXPECT_EQ(boxes.messages[0].title, "Dependancy Download");
    EXPECT_EQ(boxes.messages[1].text, kManualText);
    EXPECT_EQ(boxes.messages[1].style, 64);
    EXPECT_EQ(boxes.messages[1].title, "Download Manually");

    // Without the encoder, a conversion says so in red and in a box.
    setSource(w, sourceFile());
    clickConvert(w);
    EXPECT_EQ(statusText(w), "Error! Unable to locate avformat.dll");
    // Read whole: the label is wide enough for it, not cut at its design width.
    auto* label = control<QLabel>(w, "lblStatus");
    EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(statusText(w)));
    EXPECT_LE(label->geometry().right(), w.width());
    EXPECT_EQ(statusColour(w), kRed);
    ASSERT_EQ(boxes.messages.size(), 3u);
    EXPECT_EQ(boxes.messages[2].text, "Unable to locate avformat.dll");
    EXPECT_EQ(boxes.messages[2].style, 0);
    EXPECT_EQ(boxes.messages[2].title, "Zenvira");
}

TEST_F(ConverterWindow, AnEncoderSpeltInCapitalsIsOfferedYetStillRuns) {
    installStandInEncoder(std::string("sleep 0.1\n") + convert::testing::kWriteDestination, "AVFORMAT.DLL");
    MessageRecorder boxes([](const Message&) { return 7; });
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    ASSERT_FALSE(boxes.messages.empty());
    EXPECT_EQ(boxes.messages[0].title, "Dependancy Download");
    setSource(w, sourceFile());
    clickConvert(w);
    ASSERT_TRUE(runToComplete(w));
    EXPECT_EQ(statusText(w), "Complete!");
}

TEST_F(ConverterWindow, YesFetchesTheEncoderAndTheWindowClosesToBeOpenedAgain) {
    SecureProductSite product;
    const std::string encoder = encoderBytes(512 * 1024);
    product.publishEncoderArchive(makeZip({{"ffmpeg/bin/avformat.dll", encoder}}));
    MessageRecorder boxes(answerYesToDownload);

    QPointer<frmConv> open;
    EXPECT_EQ(convert::showConverterWindow(open, setup()), nullptr);
    EXPECT_TRUE(open.isNull());
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[0].title, "Dependancy Download");
    EXPECT_EQ(boxes.messages[1].text, "avformat.dll downloade. Restart this form");
    EXPECT_EQ(boxes.messages[1].style, 0);
    EXPECT_EQ(boxes.messages[1].title, "Zenvira");
    EXPECT_EQ(readFile(app.file("avformat.dll")), encoder);
    EXPECT_TRUE(isExecutable(app.file("avformat.dll")));
    EXPECT_FALSE(fs::exists(settingsFile)) << "a window that never opened remembers nothing";

    // Opened again, it finds the encoder and asks nothing.
    frmConv* again = convert::showConverterWindow(open, setup());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(boxes.messages.size(), 2u);
    again->close();
}

TEST_F(ConverterWindow, AFailedFetchSaysWhyLeavesTheFolderAndOpensTheWindow) {
    SecureProductSite product;  // serves nothing at the encoder's address: 404
    writeFile(app.file("zenvira"), "the program");
    const auto before = folderPicture(app.path());
    MessageRecorder boxes(answerYesToDownload);

    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    ASSERT_EQ(boxes.messages.size(), 2u);
    const Message& error = boxes.messages[1];
    EXPECT_EQ(error.title, "Error");
    EXPECT_EQ(error.style, 16);
    EXPECT_NE(error.text.find("HTTP 404"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find(kManualText), std::string::npos) << error.text;
    EXPECT_EQ(folderPicture(app.path()), before);
    EXPECT_NE(w.job(), nullptr);
}

TEST_F(ConverterWindow, ASlowFetchShowsItsProgressAndCanBeCancelled) {
    SecureProductSite product;
    product.publishEncoderArchive(makeZip({{"avformat.dll", "x"}}), {.delay = std::chrono::seconds(20)});
    MessageRecorder boxes(answerYesToDownload);
    // A person waits for the dialog to appear and presses its Cancel button.
    QString shownText;
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(top);
            if (!dialog || !dialog->isVisible() || !shownText.isEmpty()) continue;
            shownText = dialog->labelText();
            if (auto* cancel = dialog->findChild<QPushButton*>()) cancel->click();
        }
    });
    person.start(50);
    QElapsedTimer clock;
    clock.start();

    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(shownText, "Downloading avformat.dll from https://www.zenvira.net/files/avformat.zip");
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[1].title, "Error");
    EXPECT_NE(boxes.messages[1].text.find("cancelled"), std::string::npos) << boxes.messages[1].text;
    EXPECT_FALSE(fs::exists(app.file("avformat.dll")));
}

// --- the remembered profile ---------------------------------------------------------------

TEST_F(ConverterWindow, RemembersTheProfileTextAcrossLoadsWhateverItHolds) {
    installStandInEncoder();
    {
        frmConv first(setup());
        ASSERT_TRUE(first.Form_Load());
        auto* format = control<QComboBox>(first, "cmbFormat");
        format->setCurrentIndex(format->findText("MP3 Sound (MP3)"));
        first.close();
    }
    EXPECT_EQ(QSettings(QString::fromStdString(settingsFile), QSettings::IniFormat).value("Settings/Format"),
              "MP3 Sound (MP3)");
    {
        frmConv second(setup());
        ASSERT_TRUE(second.Form_Load());
        auto* format = control<QComboBox>(second, "cmbFormat");
        EXPECT_EQ(format->currentText(), "MP3 Sound (MP3)");
        EXPECT_EQ(format->currentIndex(), format->findText("MP3 Sound (MP3)"));
        format->setEditText("My own, format");  // no profile name
        second.close();
    }
    frmConv third(setup());
    ASSERT_TRUE(third.Form_Load());
    EXPECT_EQ(control<QComboBox>(third, "cmbFormat")->currentText(), "My own, format");
}

TEST_F(ConverterWindow, TheUsersSettingsLiveInTheirConfigFolder) {
    ScopedEnv config("XDG_CONFIG_HOME", app.file("../config"));
    const auto settings = convert::userSettings();
    EXPECT_EQ(fs::weakly_canonical(settings->fileName().toStdString()),
              fs::weakly_canonical(app.file("../config/Zenvira/Zenvira.conf")));
}

// --- commands ---------------------------------------------------------------------------

TEST_F(ConverterWindow, ConvertNeedsAFileAndAKnownProfile) {
    installStandInEncoder();
    MessageRecorder boxes;
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());

    clickConvert(w);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, "Select FLV Video first!");
    EXPECT_EQ(boxes.messages[0].style, 64);
    EXPECT_EQ(boxes.messages[0].title, "Select File");

    setSource(w, sourceFile());
    control<QComboBox>(w, "cmbFormat")->setEditText("wave sound (wav)");
    clickConvert(w);
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[1].text, "Error: wave sound (wav) is not defined.");
    EXPECT_EQ(boxes.messages[1].title, "Not Supported");
    EXPECT_FALSE(w.job()->IsRunning());
    EXPECT_EQ(statusText(w), "Status:");
}

TEST_F(ConverterWindow, BrowseOpensInDriveCEveryTimeAndCancelKeepsTheFile) {
    installStandInEncoder();
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    std::vector<components::OpenFileDialogRequest> asked;
    std::vector<std::string> answers{"/videos/clip.flv", ""};
    const auto previous = components::setOpenFileDialogHandler([&](const components::OpenFileDialogRequest& request) {
        asked.push_back(request);
        const std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    auto* browse = control<QPushButton>(w, "cmdLoad");
    browse->click();
    EXPECT_EQ(control<QLineEdit>(w, "txtFname")->text(), "/videos/clip.flv");
    browse->click();  // cancelled
    EXPECT_EQ(control<QLineEdit>(w, "txtFname")->text(), "/videos/clip.flv");
    components::setOpenFileDialogHandler(previous);

    ASSERT_EQ(asked.size(), 2u);
    for (const auto& request : asked) {
        EXPECT_EQ(fs::path(request.initialFolder).lexically_normal(), fs::path(driveC).lexically_normal());
        EXPECT_EQ(request.filter, "FLV Video (*.flv)|*.flv|All Files (*.*)|*.*");
        // Today's downloads are offered too, after FLV.
        for (const char* container : {"*.mp4", "*.webm", "*.mkv", "*.m4a", "*.mov", "*.ts", "*.mp3"})
            EXPECT_NE(request.moreFilter.find(container), std::string::npos) << container;
    }
}

// --- the status animation over real runs --------------------------------------------------

struct Shown {
    QString text;
    int bar;
    QColor colour;
};

TEST_F(ConverterWindow, TheStatusAnimatesWhileTheEncoderRunsAndGoesOnInTheNextRun) {
    installStandInEncoder(std::string("sleep 0.4\n") + convert::testing::kWriteDestination);
    installSkin();
    MessageRecorder boxes;
    frmConv w(setup());
    ASSERT_TRUE(w.Form_Load());
    std::vector<Shown> shown;
    int redPixels = 0;
    QObject::connect(w.job(), &convert::AVC::Converting, &w, [&] {
        shown.push_back({statusText(w), control<QProgressBar>(w, "pbConv")->value(), statusColour(w)});
        if (shown.size() == 1) redPixels = pixelsNear(control<QLabel>(w, "lblStatus")->grab().toImage(), kRed);
    });
    setSource(w, sourceFile());

    int expectedBar = 1;
    for (int run = 0; run < 2; ++run) {
        shown.clear();
        clickConvert(w);
        ASSERT_TRUE(runToComplete(w)) << "run " << run;
        ASSERT_GE(shown.size(), 5u) << "run " << run;
        for (const auto& s : shown) {
            EXPECT_EQ(s.bar, expectedBar) << "run " << run;
            EXPECT_EQ(s.text, "Processing" + QString(expectedBar, u'.')) << "run " << run;
            EXPECT_EQ(s.colour, kRed);
            expectedBar = expectedBar % 4 + 1;
        }
        EXPECT_EQ(statusText(w), "Complete!");
        EXPECT_EQ(statusColour(w), kDarkGreen);
        EXPECT_EQ(control<QProgressBar>(w, "pbConv")->value(), 0);
    }
    EXPECT_TRUE(boxes.messages.empty());
    // What is drawn, through the skin: red while converting, dark green once complete.
    EXPECT_GT(redPixels, 10);
    EXPECT_GT(pixelsNear(control<QLabel>(w, "lblStatus")->grab().toImage(), kDarkGreen), 10);
}

TEST_F(ConverterWindow, ClosingTheWindowDuringARunEndsItsEncoder) {
    installStandInEncoder("echo $$ > \"$here/pid\"\nexec sleep 30");
    QPointer<frmConv> open;
    frmConv* w = convert::showConverterWindow(open, setup());
    ASSERT_NE(w, nullptr);
    setSource(*w, sourceFile());
    clickConvert(*w);
    const std::string pid = convert::testing::waitForLine(app.file("pid"));
    ASSERT_FALSE(pid.empty());
    ASSERT_TRUE(convert::testing::processAlive(std::stoi(pid)));

    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull()) << "the window goes when closed";
    EXPECT_TRUE(convert::testing::processEnds(std::stoi(pid)));
}


}  // namespace
