// Opening an address in the program the system associates with .htm files, found through
// the probe file C:\Tmp.htm.
#include <gtest/gtest.h>

#include <string>

#include "platform/browser.h"
#include "platform/file_association.h"
#include "platform/win32/browser_probe.h"
#include "platform/win32/utf16.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

const std::string kProbe = "C:\\Tmp.htm";

// Makes a copy of the stand-in the opener of .htm files.
class HtmlOpener : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(copyFile(standInPath(), browser_));
        std::string error;
        ASSERT_TRUE(platform::registryWrite("HKCR\\.htm\\", "zenvira.test.page", error)) << error;
        ASSERT_TRUE(platform::registryWrite("HKCR\\zenvira.test.page\\shell\\open\\command\\",
                                            "\"" + browser_ + "\" \"%1\"", error))
            << error;
    }
    TestFolder folder_{"browser"};
    std::string browser_ = folder_.file("zvbrowser.exe");
};

TEST_F(HtmlOpener, TheAssociatedProgramGetsTheAddressAfterOneBlankAndTheProbeIsGoneAfterwards) {
    setStandInSteps("record=" + folder_.file("line.txt"));
    // A probe left over from an earlier run is overwritten and removed all the same.
    std::FILE* leftover = _wfopen(L"C:\\Tmp.htm", L"wb");
    ASSERT_NE(leftover, nullptr);
    std::fputs("<html>old</html>", leftover);
    std::fclose(leftover);

    const platform::BrowserLaunch launch = platform::openInBrowser("http://www.zenvira.net/a b?c=1");
    ASSERT_TRUE(launch.ok) << launch.error;
    const std::string line = waitForText(folder_.file("line.txt"));
    EXPECT_EQ(line.substr(0, line.find('\n')), browser_ + " http://www.zenvira.net/a b?c=1");
    EXPECT_FALSE(fileExists(kProbe));
}

// The steps with the lookup and the start seen from inside, on a probe of the test's own, so
// that tests running at the same time never share one.
TEST(Win32BrowserProbe, TheProbeIsDeletedOnlyAfterTheBrowserHasStarted) {
    TestFolder folder("probe");
    const std::string probe = folder.file("Tmp.htm");
    std::vector<std::string> order;
    const platform::BrowserLaunch launch = platform::win32::openThroughProbe(
        platform::win32::wide(probe), "http://www.zenvira.net/",
        [&](const std::wstring&) { return std::wstring(L"C:\\browser.exe"); },
        [&](std::wstring& commandLine) {
            order.push_back(fileExists(probe) ? "start, probe there" : "start, probe gone");
            order.push_back(platform::win32::narrow(commandLine));
            return true;
        });
    EXPECT_TRUE(launch.ok);
    order.push_back(fileExists(probe) ? "after, probe there" : "after, probe gone");
    EXPECT_EQ(order, (std::vector<std::string>{"start, probe there", "C:\\browser.exe http://www.zenvira.net/",
                                               "after, probe gone"}));
}

TEST(Win32BrowserProbe, WithNoProgramFoundNothingIsStartedFromAnEmptyLine) {
    TestFolder folder("probe");
    const std::string probe = folder.file("Tmp.htm");
    int starts = 0;
    const platform::BrowserLaunch launch = platform::win32::openThroughProbe(
        platform::win32::wide(probe), "http://www.zenvira.net/", [](const std::wstring&) { return std::wstring(); },
        [&](std::wstring&) {
            ++starts;
            return true;
        });
    EXPECT_FALSE(launch.ok);
    EXPECT_EQ(starts, 0);
    EXPECT_FALSE(fileExists(probe));
}

}  // namespace
}  // namespace zenvira::win32test
