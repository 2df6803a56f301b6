// The encoder's fetch and unpacking, without a window: archives made with libzip, served by
// the fixture site through the proxy setting under the real download address.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/product_site.h"
#include "convert/encoder_download.h"
#include "tests/convert/encoder_folder.h"
#include "tests/convwin/convwin_support.h"
#include "tests/site/fixture_site.h"
#include "tests/window/test_application.h"

using namespace zenvira;
using namespace zenvira::convwin::testing;
using convert::EncoderDownload;
using convert::installEncoderFromArchive;

namespace {

namespace fs = std::filesystem;

class EncoderInstall : public ::testing::Test {
protected:
    void SetUp() override { testApplication(); }

    std::string archive(const std::vector<ZipEntry>& entries) const { return archiveOf(makeZip(entries)); }
    std::string archiveOf(const std::string& bytes) const {
        writeFile(download.file("avformat.zip"), bytes);
        return download.file("avformat.zip");
    }

    convert::testing::EncoderFolder download{"download"};  // holds the archive
    convert::testing::EncoderFolder app{"app"};            // the application folder
};

TEST_F(EncoderInstall, TakesTheEntryNearestTheRootInAnyLetterCaseAndMakesItExecutable) {
    const std::string encoder = encoderBytes(300 * 1024);
    writeFile(app.file("avformat.dll"), "an older encoder");
    const auto result = installEncoderFromArchive(archive({{"readme.txt", "read me"},
                                                           {"ffmpeg/bin/old/avformat.dll", "deeper"},
                                                           {"ffmpeg/AVFormat.DLL", encoder}}),
                                                  app.path());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(folderPicture(app.path()), (std::map<std::string, std::string>{{"avformat.dll", encoder}}));
    EXPECT_TRUE(isExecutable(app.file("avformat.dll")));
}

TEST_F(EncoderInstall, EveryRefusalSaysWhyAndLeavesTheFolderAsItWas) {
    const std::string encoder = encoderBytes(64 * 1024);
    std::string damaged = makeZip({{"avformat.dll", encoder, true}});
    damaged[damaged.find(encoder.substr(1000, 32)) + 5] ^= 0x55;  // inside the stored data: the CRC no longer fits

    const struct {
        const char* what;
        std::string archiveBytes;
        std::string errorHolds;
    } cases[] = {
        {"an HTML page", "<html><body>Not Found</body></html>", "not a zip archive"},
        {"an empty file", "", "not a zip archive"},
        {"an archive without the encoder", makeZip({{"bin/ffmpeg.exe", "x"}, {"avformat.dll.txt", "y"}}), "holds no avformat.dll"},
        {"a damaged encoder entry", damaged, "damaged"},
    };
    writeFile(app.file("avformat.dll"), "the encoder in use");
    writeFile(app.file("zenvira"), "the program");
    const auto before = folderPicture(app.path());
    for (const auto& c : cases) {
        const auto result = installEncoderFromArchive(archiveOf(c.archiveBytes), app.path());
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.error.find(c.errorHolds), std::string::npos) << c.what << ": " << result.error;
        EXPECT_EQ(folderPicture(app.path()), before) << c.what;
    }
}

class EncoderFetch : public EncoderInstall {
protected:
    convert::EncoderDownloadRequest request() const {
        return {base::encoderDownloadAddress(), app.path(), download.path()};
    }
    // The fixture site answers the real address through the proxy setting.
    site::FixtureSite site;
    ScopedEnv proxy{"http_proxy", site.proxyAddress()};
    ScopedEnv host{"ZENVIRA_SITE_HOST", ""};
};

TEST_F(EncoderFetch, FetchesTheArchiveFromTheRealAddressAndInstallsTheEncoder) {
    const std::string encoder = encoderBytes(2 * 1024 * 1024 + 17);
    site.addFixed("/files/avformat.zip", {.body = makeZip({{"AVFORMAT.DLL", encoder}}), .contentType = "application/zip"});
    const auto result = EncoderDownload(request()).run();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readFile(app.file("avformat.dll")), encoder);
    EXPECT_TRUE(isExecutable(app.file("avformat.dll")));
    ASSERT_FALSE(site.requests().empty());
    EXPECT_EQ(site.requests().back().target, "http://www.zenvira.net/files/avformat.zip");
    EXPECT_TRUE(fs::is_empty(download.path())) << "the archive's temporary folder is removed";
}

TEST_F(EncoderFetch, AFailedFetchSaysWhyAndLeavesBothFoldersAsTheyWere) {
    writeFile(app.file("zenvira"), "the program");
    const auto before = folderPicture(app.path());
    const auto result = EncoderDownload(request()).run();  // nothing at that path: 404
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("http://www.zenvira.net/files/avformat.zip"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("404"), std::string::npos) << result.error;
    EXPECT_EQ(folderPicture(app.path()), before);
    EXPECT_TRUE(fs::is_empty(download.path()));
}

}  // namespace
