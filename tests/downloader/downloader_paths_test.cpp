// Where a download lands: the drive mapping, names that try to leave their folder, folders
// that cannot take the file.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>

#include "platform/path_mapping.h"
#include "tests/downloader/download_harness.h"

namespace zenvira::testing {
namespace {

using platform::mapLocalTarget;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value.c_str());
    }
    ~ScopedEnv() {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

std::size_t entriesBelow(const std::string& folder) {
    std::size_t count = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(folder); it != std::filesystem::recursive_directory_iterator(); ++it)
        ++count;
    return count;
}

TEST(PathMappingTest, DrivesStandForFoldersOfThisSystem) {
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    ScopedEnv noDrive("ZENVIRA_DRIVE_C", "");
    ScopedEnv homeVar("HOME", homePath);
    ScopedEnv config("XDG_CONFIG_HOME", homePath + "/config");

    EXPECT_EQ(mapLocalTarget("c:\\", "\\Clip.flv").path, homePath + "/Downloads/Clip.flv");
    writeText(homePath + "/config/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    EXPECT_EQ(mapLocalTarget("C:\\", "\\Clip.flv").path, homePath + "/Fetched/Clip.flv");

    ScopedEnv drive("ZENVIRA_DRIVE_C", homePath + "/c/");
    const auto mapped = mapLocalTarget("c:\\Videos\\Old\\..\\New", "\\A b.flv");
    EXPECT_EQ(mapped.path, homePath + "/c/Videos/New/A b.flv");
    EXPECT_EQ(mapped.driveRoot, homePath + "/c");
    EXPECT_EQ(mapLocalTarget("/srv/media", "x.flv").path, "/srv/media/x.flv");

    EXPECT_FALSE(mapLocalTarget("d:\\", "\\x.flv").ok);
    ScopedEnv driveD("ZENVIRA_DRIVE_D", homePath + "/d");
    EXPECT_EQ(mapLocalTarget("d:\\", "\\x.flv").path, homePath + "/d/x.flv");
}

TEST(PathMappingTest, NothingLeavesItsFolder) {
    ScopedEnv drive("ZENVIRA_DRIVE_C", "/tmp/zenvira-drive-c");
    for (const std::string& name : std::vector<std::string>{"\\..\\evil.flv", "\\a/b.flv", "\\a\\b.flv", "\\..", "\\.", "\\", "",
                                   std::string("\\a\0b.flv", 8), "/etc/passwd"}) {
        const auto mapped = mapLocalTarget("c:\\", name);
        EXPECT_FALSE(mapped.ok) << name;
        EXPECT_FALSE(mapped.error.empty()) << name;
    }
    EXPECT_FALSE(mapLocalTarget("c:\\..\\..\\etc", "\\x.flv").ok);
    EXPECT_FALSE(mapLocalTarget("relative\\folder", "\\x.flv").ok);
    EXPECT_FALSE(mapLocalTarget("\\\\server\\share", "\\x.flv").ok);
}

TEST(DownloaderPathsTest, BadNamesAndFoldersFailWithAReasonAndWriteNothingElsewhere) {
    DownloadHarness h;
    h.site.addStream("s", {.size = 1000});
    const std::string outside = std::filesystem::path(h.driveFolder()).parent_path().string();
    std::filesystem::create_directories(h.driveFolder());
    const std::size_t before = entriesBelow(outside);
    for (const std::string& name : std::vector<std::string>{"\\..\\evil.flv", "\\sub/evil.flv", "\\..", std::string("\\a\0.flv", 7)}) {
        h.prepare(h.streamUrl("s"), name);
        const DownloadRecord record = h.run();
        EXPECT_EQ(record.outcome(), 2) << name;
        EXPECT_FALSE(record.errorText.empty()) << name;
    }
    EXPECT_EQ(entriesBelow(outside), before);

    // A folder that cannot hold files: here a plain file stands where the folder should be.
    writeText(h.driveFolder() + "/notafolder", "x");
    h.prepare(h.streamUrl("s"));
    h.downloader.setLocalFolder("c:\\notafolder\\");
    DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_EQ(record.errorText, "Cannot create the file " + h.driveFolder() + "/notafolder/clip.flv: Not a directory");

    // A name past the folder's limit is cut to fit, with its companions, not refused.
    h.prepare(h.streamUrl("s"), "\\" + std::string(300, 'x') + ".flv");
    record = h.run();
    EXPECT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(fileExists(h.driveFolder() + "/" + std::string(255 - 15 - 4, 'x') + ".flv"));
}

TEST(DownloaderPathsTest, MissingDriveFolderIsCreated) {
    DownloadHarness h;
    const std::string drive = h.driveFolder() + "/new/deeper";
    ScopedEnv env("ZENVIRA_DRIVE_C", drive);
    h.site.addStream("s", {.size = 5000});
    h.prepare(h.streamUrl("s"));
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(drive + "/clip.flv", 5000));
}

}  // namespace
}  // namespace zenvira::testing
