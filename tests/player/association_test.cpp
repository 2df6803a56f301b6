// The .flv association: the Windows registry steps as data, and on this system the XDG files,
// checked the way a desktop reads them (xdg-mime) in the test binary's own home.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "player/association/register_file_type.h"
#include "player/association/registry_steps.h"
#include "player/association/xdg_entries.h"
#include "player_test_support.h"

using namespace zenvira::player;

namespace {

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString xdgMime(const QStringList& arguments) {
    QProcess process;
    process.start("xdg-mime", arguments);
    if (!process.waitForFinished(30000)) return "(xdg-mime did not end)";
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString mimeappsPath() { return testHome() + "/.config/mimeapps.list"; }

// A program file that exists, as xdg-mime checks the program of a default.
QString fakeProgram() {
    const QString path = freshFolder("app") + "/zenvira";
    writeAll(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

TEST(RegistrySteps, EightStepsInOrderWithTheExampleProgram) {
    const std::string exe = "C:\\Program Files\\Player\\zenvira.exe";
    const std::string fe = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.flv";
    using K = RegistryStep::Kind;
    const std::vector<RegistryStep> expected{
        {K::Write, "HKCR\\.flv\\", "image"},
        {K::Write, "HKCR\\image\\", "QV file"},
        {K::Write, "HKCR\\image\\DefaultIcon\\", exe},
        {K::Write, "HKCR\\image\\shell\\open\\command\\", exe + " %L"},  // no quotes anywhere
        {K::Delete, fe + "\\Application", ""},
        {K::Write, fe + "\\Application", exe},
        {K::Delete, fe + "\\OpenWithList\\", ""},
        {K::Write, fe + "\\OpenWithList\\a", exe},
    };
    EXPECT_EQ(registrySteps(".flv", "image", exe), expected);
}

TEST(XdgEntries, DesktopEntryOpensTheFileWithTheProgram) {
    EXPECT_EQ(mimeTypeForExtension(".flv", "image"), "video/x-flv");
    EXPECT_EQ(mimeTypeForExtension(".FLV", "image"), "video/x-flv");
    EXPECT_EQ(mimeTypeForExtension(".qvx", "QV file"), "application/x-qv-file");
    EXPECT_EQ(desktopIdForProgram("/opt/zenvira/zenvira"), "zenvira");
    EXPECT_EQ(desktopIdForProgram("C:\\Apps\\Zen Vira.exe"), "Zen-Vira");

    EXPECT_EQ(desktopExecArgument("/opt/zenvira/zenvira"), "/opt/zenvira/zenvira");
    EXPECT_EQ(desktopExecArgument("/opt/My Apps/zen$\"vira"), "\"/opt/My Apps/zen\\$\\\"vira\"");
    EXPECT_EQ(desktopExecArgument("/opt/100%/zenvira"), "/opt/100%%/zenvira");

    const std::string entry = desktopEntryText("/opt/My Apps/zenvira", "/icons/zenvira.svg", "video/x-flv");
    // The Exec value's backslashes are escaped once more as a desktop-entry string.
    EXPECT_NE(entry.find("\nExec=\"/opt/My Apps/zenvira\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=/icons/zenvira.svg\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=video/x-flv;\n"), std::string::npos);
    EXPECT_NE(desktopEntryText("/a\\b", "", "x/y").find("\nExec=\"/a\\\\\\\\b\" %f\n"), std::string::npos);
}

TEST(XdgEntries, MimeappsDefaultReplacedOtherLinesKept) {
    const std::string before =
        "# my settings\n"
        "[Default Applications]\n"
        "text/html=firefox.desktop;\n"
        "video/x-flv=vlc.desktop;\n"
        "video/mp4=mpv.desktop;\n"
        "\n"
        "[Added Associations]\n"
        "video/x-flv=vlc.desktop;zenvira.desktop;mpv.desktop;\n"
        "[Removed Associations]\n"
        "video/x-flv=totem.desktop;\n";
    const std::string after = mimeappsWithDefault(before, "video/x-flv", "zenvira.desktop");
    EXPECT_EQ(after,
              "# my settings\n"
              "[Default Applications]\n"
              "text/html=firefox.desktop;\n"
              "video/x-flv=zenvira.desktop;\n"
              "video/mp4=mpv.desktop;\n"
              "\n"
              "[Added Associations]\n"
              "video/x-flv=zenvira.desktop;vlc.desktop;mpv.desktop;\n"
              "[Removed Associations]\n"
              "video/x-flv=totem.desktop;\n");
    // Again: nothing changes.
    EXPECT_EQ(mimeappsWithDefault(after, "video/x-flv", "zenvira.desktop"), after);

    // Sections and keys that are missing are added; a last line without a break is kept.
    EXPECT_EQ(mimeappsWithDefault("[Default Applications]\ntext/html=firefox.desktop;", "video/x-flv", "z.desktop"),
              "[Default Applications]\ntext/html=firefox.desktop;\nvideo/x-flv=z.desktop;\n"
              "\n[Added Associations]\nvideo/x-flv=z.desktop;\n");
    EXPECT_EQ(mimeappsWithDefault("", "video/x-flv", "z.desktop"),
              "[Default Applications]\nvideo/x-flv=z.desktop;\n\n[Added Associations]\nvideo/x-flv=z.desktop;\n");
    // A doubled key leaves one line, ours.
    EXPECT_EQ(mimeappsWithDefault("[Default Applications]\nvideo/x-flv = a.desktop\nvideo/x-flv=b.desktop\n",
                                  "video/x-flv", "z.desktop")
                  .find("b.desktop"),
              std::string::npos);
}

TEST(RegisterFileType, DesktopNamesZenviraTheDefaultForFlv) {
    testApplication();
    const QString program = fakeProgram();
    // An earlier default and an unrelated entry.
    writeAll(mimeappsPath(), "[Default Applications]\nvideo/x-flv=vlc.desktop;\ntext/plain=gedit.desktop;\n");

    for (int load = 0; load < 2; ++load) {
        const auto steps = RegisterFileType(".flv", "image", program.toStdString());
        ASSERT_EQ(steps.size(), 6u);
        for (const auto& step : steps) EXPECT_TRUE(step.done) << step.step << ": " << step.error;
    }

    EXPECT_EQ(xdgMime({"query", "default", "video/x-flv"}), "zenvira.desktop");
    const QString mimeapps = readAll(mimeappsPath());
    EXPECT_TRUE(mimeapps.contains("text/plain=gedit.desktop;\n"));
    EXPECT_FALSE(mimeapps.contains("vlc.desktop;\ntext"));
    EXPECT_EQ(mimeapps.count("video/x-flv=zenvira.desktop;"), 2);  // the default and the added list

    const QString data = testHome() + "/.local/share";
    const QString entry = readAll(data + "/applications/zenvira.desktop");
    EXPECT_TRUE(entry.contains("\nExec=" + program + " %f\n")) << entry;
    EXPECT_TRUE(entry.contains("\nIcon=" + data + "/icons/hicolor/scalable/apps/zenvira.svg\n"));
    EXPECT_TRUE(QFile::exists(data + "/icons/hicolor/scalable/apps/zenvira.svg"));
    EXPECT_TRUE(readAll(data + "/mime/packages/zenvira-flv.xml").contains("<glob pattern=\"*.flv\"/>"));
    // The user's own MIME database now knows the glob.
    EXPECT_TRUE(readAll(data + "/mime/globs2").contains("video/x-flv:*.flv"));
    EXPECT_EQ(xdgMime({"query", "filetype", testClip().isEmpty() ? "/nonexistent.flv" : testClip()}), "video/x-flv");
}

TEST(RegisterFileType, FailingStepIsSkippedAndTheRestRuns) {
    testApplication();
    const QString program = fakeProgram();
    // The applications folder is a file: the desktop entry cannot be written.
    const QString data = testHome() + "/.local/share";
    QDir(data + "/applications").removeRecursively();
    writeAll(data + "/applications", "not a folder");
    writeAll(mimeappsPath(), "[Default Applications]\ntext/plain=gedit.desktop;\n");

    const auto steps = RegisterFileType(".flv", "image", program.toStdString());
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_FALSE(steps[0].done);
    EXPECT_FALSE(steps[0].error.empty());
    EXPECT_TRUE(steps[1].done) << steps[1].error;  // icon
    EXPECT_TRUE(steps[2].done) << steps[2].error;  // MIME package
    EXPECT_TRUE(steps[5].done) << steps[5].error;  // mimeapps.list
    EXPECT_TRUE(readAll(mimeappsPath()).contains("video/x-flv=zenvira.desktop;"));

    QFile::remove(data + "/applications");
}
