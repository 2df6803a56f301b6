// Skin files: the shipped one, and every way a skin can be broken.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <vector>

#include "tests/support/test_application.h"
#include "ui/desktop_look.h"
#include "ui/ini_text.h"
#include "ui/skin_apply.h"
#include "ui/skin_file.h"

using namespace zenvira::ui;

namespace {

const QString kShippedSkin = QStringLiteral(ZENVIRA_SOURCE_DIR "/Styles/iTunes");

class SkinFolder : public ::testing::Test {
protected:
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    SkinLoad load() { return loadSkin(dir.path(), QStringLiteral("Normalitunes.ini")); }

    QTemporaryDir dir;
};

}  // namespace

TEST(IniText, SectionsKeysAndComments) {
    IniText ini;
    ASSERT_TRUE(ini.parse("\xEF\xBB\xBF; comment\r\n[Colors]\r\n  Accent = #3d7fd6 \n"
                          "# more\n\n[Font]\nFamily=A, B=C\n"));
    EXPECT_EQ(ini.value("colors", "ACCENT"), "#3d7fd6");
    EXPECT_EQ(ini.value("Font", "Family"), "A, B=C");  // the first '=' splits
    EXPECT_EQ(ini.value("Font", "Size", "9"), "9");
    EXPECT_FALSE(ini.hasSection("Skin"));

    EXPECT_FALSE(ini.parse("[Skin]\nName=x\nthis line means nothing\n"));
    EXPECT_EQ(ini.error(), "line 3 is not a key=value line");
    EXPECT_FALSE(ini.value("Skin", "Name").size());  // nothing half-read is kept
    EXPECT_FALSE(ini.parse("Name=x\n[Skin]\n"));
    EXPECT_FALSE(ini.parse("[Skin\n"));
    EXPECT_FALSE(ini.parse(QByteArray("[Skin]\nName=a\0b\n", 16)));
}

TEST(Skin, TheShippedSkinLoadsWhole) {
    const SkinLoad load = loadSkin(kShippedSkin, QStringLiteral("Normalitunes.ini"));
    ASSERT_TRUE(load.skin) << load.error.toStdString();
    EXPECT_EQ(load.skin->name, "iTunes");
    EXPECT_EQ(load.skin->color("accent"), QColor("#3d7fd6"));
    EXPECT_GT(load.skin->fontPointSize, 0);
    EXPECT_TRUE(load.skin->styleSheet.contains("#frmMain"));
    EXPECT_TRUE(load.skin->styleSheet.contains("QProgressBar::chunk"));
    EXPECT_FALSE(load.skin->styleSheet.contains("${"));  // every colour was filled in
}

TEST_F(SkinFolder, ColoursAreFilledIntoTheStyleSheet) {
    write("Normalitunes.ini", "[Skin]\nName=T\n[Colors]\nAccent=#102030\nGlass=#80ffffff\n"
                              "[StyleSheet]\nFile=s.qss\nInline=QLabel { color: ${Accent}; }\n");
    write("s.qss", "QPushButton { color: ${accent}; background: ${Glass}; }");
    const SkinLoad load = this->load();
    ASSERT_TRUE(load.skin) << load.error.toStdString();
    EXPECT_EQ(load.skin->styleSheet,
              "QPushButton { color: #102030; background: rgba(255, 255, 255, 128); }\nQLabel { color: #102030; }");
}

TEST_F(SkinFolder, ABrokenSkinIsRefusedWithTheReason) {
    const struct {
        QByteArray ini;
        QString reason;
    } cases[] = {
        {"", "no [Skin] section"},
        {"[Colors]\nAccent=#fff\n", "no [Skin] section"},
        {"[Skin]\n[Colors]\nAccent=bluish\n", "colour accent"},
        {"[Skin]\n[Font]\nSize=huge\n", "font size"},
        {"[Skin]\n[Font]\nSize=400\n", "font size"},
        {"[Skin]\n[StyleSheet]\nFile=missing.qss\n", "missing.qss"},
        {"[Skin]\n[StyleSheet]\nInline=QLabel { color: ${Nope}; }\n", "unknown colour Nope"},
        {"[Skin]\n<html>\n", "line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini.toStdString());
        write("Normalitunes.ini", c.ini);
        const SkinLoad load = this->load();
        EXPECT_FALSE(load.skin);
        EXPECT_TRUE(load.error.contains(c.reason)) << load.error.toStdString();
    }
}

TEST_F(SkinFolder, GarbageAndMissingFilesNeverCrash) {
    EXPECT_TRUE(this->load().error.contains("cannot read"));
    QByteArray noise(64 * 1024, '\0');
    auto* random = QRandomGenerator::global();
    for (int round = 0; round < 20; ++round) {
        for (auto& byte : noise) byte = static_cast<char>(random->bounded(256));
        write("Normalitunes.ini", noise);
        EXPECT_FALSE(this->load().skin);
    }
    write("Normalitunes.ini", QByteArray(2 * 1024 * 1024, 'x'));
    EXPECT_TRUE(this->load().error.contains("too large"));
}

TEST(Skin, ApplyingKeepsTheButtonsOwnFont) {
    testApplication();
    Skin skin;
    skin.colors.insert("window", QColor("#d9d9d9"));
    skin.colors.insert("accent", QColor("#3d7fd6"));
    skin.fontFamilies = QStringList{"DejaVu Sans"};
    skin.fontPointSize = 11;
    skin.styleSheet = "QPushButton { border-radius: 9px; }";
    QWidget window;
    auto* button = new QPushButton("OK", &window);
    button->setFont(QFont("Tahoma", 8));
    applySkin(window, skin);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor("#d9d9d9"));
    EXPECT_EQ(window.palette().color(QPalette::Highlight), QColor("#3d7fd6"));  // Accent stands in
    EXPECT_EQ(window.font().pointSize(), 11);
    EXPECT_EQ(window.styleSheet(), skin.styleSheet);
    EXPECT_EQ(button->font().family(), "Tahoma");
    EXPECT_EQ(button->font().pointSize(), 8);
}

// The desktop's light or dark wish, from each place desktops keep it, and what it does to the
// application's palette and to a skinned window.
TEST(DesktopLook, WindowsFollowTheDesktopsLightOrDarkWhereNoSkinSaysOtherwise) {
    testApplication();
    QTemporaryDir config;
    const auto writeFile = [&](const QString& name, const QByteArray& text) {
        QDir(config.path()).mkpath(QFileInfo(QDir(config.path()).filePath(name)).path());
        QFile file(QDir(config.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    struct Case {
        const char* what;
        DesktopColorSources sources;
        const char* gtkSettings;  // nullptr: no file
        const char* kdeGlobals;
        ColorScheme expected;
    };
    const QString folder = config.path();
    for (const Case& c : std::vector<Case>{
             {"nothing said", {{}, {}, folder}, nullptr, nullptr, ColorScheme::Unknown},
             {"our variable", {"dark", "Adwaita", folder}, nullptr, nullptr, ColorScheme::Dark},
             {"our variable, light", {"Light", "Adwaita:dark", folder}, nullptr, nullptr, ColorScheme::Light},
             {"GTK_THEME", {{}, "Adwaita:dark", folder}, nullptr, nullptr, ColorScheme::Dark},
             {"GTK 3 prefers dark",
              {{}, {}, folder},
              "[Settings]\ngtk-application-prefer-dark-theme=1\n",
              nullptr,
              ColorScheme::Dark},
             {"GTK 3 theme name",
              {{}, {}, folder},
              "[Settings]\ngtk-theme-name=Adwaita\n",
              nullptr,
              ColorScheme::Light},
             {"KDE dark window",
              {{}, {}, folder},
              nullptr,
              "[Colors:Window]\nBackgroundNormal=35,38,41\n",
              ColorScheme::Dark},
             {"KDE light window",
              {{}, {}, folder},
              nullptr,
              "[Colors:Window]\nBackgroundNormal=239,240,241\n",
              ColorScheme::Light},
         }) {
        QFile::remove(QDir(folder).filePath("gtk-3.0/settings.ini"));
        QFile::remove(QDir(folder).filePath("kdeglobals"));
        if (c.gtkSettings) writeFile("gtk-3.0/settings.ini", c.gtkSettings);
        if (c.kdeGlobals) writeFile("kdeglobals", c.kdeGlobals);
        EXPECT_EQ(desktopColorScheme(c.sources), c.expected) << c.what;
    }

    const QPalette before = QApplication::palette();
    followDesktopColors({"dark", {}, folder});
    EXPECT_TRUE(isDarkPalette(QApplication::palette()));
    QWidget plain;
    EXPECT_TRUE(isDarkPalette(plain.palette())) << "a window without a skin keeps the light palette";
    Skin skin;
    skin.colors.insert("window", QColor("#d9d9d9"));
    skin.colors.insert("text", QColor("#1e1e1e"));
    QWidget skinned;
    applySkin(skinned, skin);
    EXPECT_EQ(skinned.palette().color(QPalette::Window), QColor("#d9d9d9")) << "the skin's colour wins";
    EXPECT_EQ(skinned.palette().color(QPalette::Base), darkPalette().color(QPalette::Base)) << "the rest follows";
    followDesktopColors({"light", {}, folder});
    EXPECT_FALSE(isDarkPalette(QApplication::palette()));
    QApplication::setPalette(before);

    // The icon is drawn from a picture of at least its size at twice the scale.
    const QIcon icon = applicationIcon();
    for (const int size : {16, 24, 32, 48, 64, 128})
        EXPECT_GE(icon.pixmap(QSize(size, size), 2.0).width(), 2 * size) << size;
}
