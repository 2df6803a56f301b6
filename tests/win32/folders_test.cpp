// Short paths, the temporary and application folders, and paths outside the ANSI code page,
// through the Windows backends.
#include <gtest/gtest.h>

#include <string>

#include "platform/application_folder.h"
#include "platform/path_mapping.h"
#include "platform/random_access_file.h"
#include "platform/short_path.h"
#include "platform/temp_folder.h"
#include "platform/win32/utf16.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

using platform::win32::narrow;
using platform::win32::wide;

// Greek, Japanese and an emoji: outside every ANSI code page at once (D9).
const std::string kNonAnsiName = "Vid\xC3\xA9os \xCE\xA9 \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xF0\x9F\x8E\xAC";

std::string longPathOf(const std::string& path) {
    std::wstring buffer(32768, L'\0');
    buffer.resize(::GetLongPathNameW(wide(path).c_str(), buffer.data(), static_cast<DWORD>(buffer.size())));
    return narrow(buffer);
}

TEST(Win32ShortPath, AFolderWithBlanksGetsAShortFormWithoutBlanksThatLeadsToTheSameFile) {
    TestFolder folder("Program Files With Blanks");
    const std::string app = folder.folder("My Converter Folder");
    const std::string encoder = app + "\\avformat.dll";
    ASSERT_TRUE(copyFile(standInPath(), encoder));
    const std::string shortForm = platform::shortPath(encoder);
    ASSERT_FALSE(shortForm.empty());
    EXPECT_EQ(shortForm.find(' '), std::string::npos) << shortForm;
    EXPECT_TRUE(fileExists(shortForm));
    EXPECT_EQ(longPathOf(shortForm), longPathOf(encoder));
    EXPECT_EQ(platform::shortPath(app + "\\not there.dll"), "");
}

TEST(Win32Folders, TheTemporaryFolderEndsWithASeparatorAndFollowsTmpEvenOutsideTheAnsiCodePage) {
    const std::string system = platform::temporaryFolder();
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system.back(), '\\');
    EXPECT_TRUE(fileExists(system));

    TestFolder folder(kNonAnsiName);
    ::SetEnvironmentVariableW(L"TMP", wide(folder.path()).c_str());
    EXPECT_EQ(platform::temporaryFolder(), folder.path() + "\\");
    ::SetEnvironmentVariableW(L"TMP", wide(system).c_str());
}

TEST(Win32Folders, TheApplicationFolderIsTheExecutablesOwnFolderInAnyLetterCase) {
    const std::string folder = platform::applicationFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(fileExists(folder + "\\zenvira_stand_in.exe"));
    EXPECT_EQ(platform::pathInApplicationFolder("avformat.dll"), folder + "\\avformat.dll");
    EXPECT_FALSE(platform::locateInApplicationFolder("ZENVIRA_STAND_IN.EXE").empty());
    EXPECT_EQ(platform::locateInApplicationFolder("nothing-here.dll"), "");
}

TEST(Win32Folders, AProgramInAFolderOutsideTheAnsiCodePageKnowsItsFolderWhole) {
    TestFolder folder(kNonAnsiName);
    const std::string program = folder.file("zenvira_stand_in.exe");
    ASSERT_TRUE(copyFile(standInPath(), program));
    setStandInSteps("appfolder=" + folder.file("folder.txt"));
    OtherProcess run(program);
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.waitForExit(20000), 0);
    EXPECT_EQ(readText(folder.file("folder.txt")), folder.path());
}

TEST(Win32Folders, AFileOutsideTheAnsiCodePageIsWrittenAtItsOffsets) {
    TestFolder folder(kNonAnsiName);
    const std::string path = folder.file(kNonAnsiName + ".flv");
    platform::RandomAccessFile file;
    std::string error;
    ASSERT_TRUE(file.open(path, true, error)) << error;
    ASSERT_TRUE(file.reserve(10, error)) << error;
    ASSERT_TRUE(file.writeAt("world", 5, 5, error)) << error;
    ASSERT_TRUE(file.writeAt("hello", 5, 0, error)) << error;
    ASSERT_TRUE(file.flush(error)) << error;
    EXPECT_EQ(file.size(), 10);
    file.close();
    EXPECT_EQ(readText(path), "helloworld");
    EXPECT_FALSE(file.open(folder.file("no such folder\\x.flv"), false, error));
    EXPECT_FALSE(error.empty());
}

TEST(Win32Folders, DownloadTargetsAreTheWindowsPathsThemselves) {
    platform::LocalTarget target = platform::mapLocalTarget("c:\\", "\\My Title.flv");
    ASSERT_TRUE(target.ok) << target.error;
    EXPECT_EQ(target.path, "c:\\My Title.flv");
    target = platform::mapLocalTarget("C:\\Videos\\", "a/b.flv");
    EXPECT_FALSE(target.ok);
    EXPECT_EQ(target.error, "The file name may not contain a folder: a/b.flv");
    std::string error;
    EXPECT_EQ(platform::driveRootFolder('C', error), "C:\\");

    TestFolder folder(kNonAnsiName);
    const std::string nested = folder.path() + "\\" + kNonAnsiName + "\\deeper";
    ASSERT_TRUE(platform::ensureFolder(nested, error)) << error;
    EXPECT_TRUE(fileExists(nested));
    target = platform::mapLocalTarget(nested, kNonAnsiName + ".flv");
    ASSERT_TRUE(target.ok);
    EXPECT_EQ(target.path, nested + "\\" + kNonAnsiName + ".flv");
}

}  // namespace
}  // namespace zenvira::win32test
