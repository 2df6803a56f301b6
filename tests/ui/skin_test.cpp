// Skin files: the shipped one, and every way a skin can be broken.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "ui/ini_text.h"
#include "ui/skin_apply.h"
#include "ui/skin_file.h"
#include "tests/support/test_application.h"

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
