// The encoder's fetch and unpacking, without a window: archives made with libzip, served by
// the fixture site through the proxy setting under the real download address.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/product_site.h"
#include "convert/encoder_download.h"
#include "tests/convert/encoder_folder.h"
#include "tests/converter_window/convwin_support.h"
#include "tests/converter_window/product_site.h"
#include "tests/site/fixture_site.h"
#include "tests/support/test_application.h"

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
    // The fixture site answers the real address through the HTTPS proxy setting.
    SecureProductSite product;
    site::FixtureSite& site = product.site;
};

TEST_F(EncoderFetch, FetchesTheArchiveOverHttpsChecksItAndInstallsTheEncoder) {
    const std::string encoder = encoderBytes(2 * 1024 * 1024 + 17);
    product.publishEncoderArchive(makeZip({{"AVFORMAT.DLL", encoder}}));
    const auto result = EncoderDownload(request()).run();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readFile(app.file("avformat.dll")), encoder);
    EXPECT_TRUE(isExecutable(app.file("avformat.dll")));
    std::vector<std::string> paths;
    for (const auto& r : site.requests()) {
        if (r.method == "CONNECT") EXPECT_EQ(r.target, "www.zenvira.net:443");
        else paths.push_back(r.path);
    }
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/files/avformat.zip"), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/files/avformat.zip.sha256"), paths.end());
    EXPECT_TRUE(fs::is_empty(download.path())) << "the archive's temporary folder is removed";
}

TEST_F(EncoderFetch, AnArchiveThatIsNotTheExpectedOneIsNeverUnpacked) {
    const std::string genuine = makeZip({{"avformat.dll", encoderBytes(64 * 1024)}});
    const std::string tampered = makeZip({{"avformat.dll", "#!/bin/sh\nrm -rf ~\n"}});
    struct Case {
        const char* what;
        std::string served;
        std::string checksumText;  // what is published beside it
        std::string pinned;
        const char* errorHolds;
    };
    const std::vector<Case> cases = {
        {"swapped archive, old checksum", tampered, sha256Of(genuine) + "  avformat.zip\n", sha256Of(genuine),
         "does not match the SHA-256 checksum published with it"},
        {"swapped archive and checksum", tampered, sha256Of(tampered) + "  avformat.zip\n", sha256Of(genuine),
         "not the one this version of Zenvira expects"},
        {"no readable checksum", genuine, "<html>moved</html>", sha256Of(genuine), "checksum cannot be read"},
    };
    writeFile(app.file("zenvira"), "the program");
    const auto before = folderPicture(app.path());
    for (const auto& c : cases) {
        site.addFixed("/files/avformat.zip", {.body = c.served, .contentType = "application/zip"});
        site.addFixed("/files/avformat.zip.sha256", {.body = c.checksumText, .contentType = "text/plain"});
        auto req = request();
        req.pinnedSha256 = c.pinned;
        const auto result = EncoderDownload(req).run();
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.error.find(c.errorHolds), std::string::npos) << c.what << ": " << result.error;
        EXPECT_NE(result.error.find("nothing was unpacked"), std::string::npos) << c.what << ": " << result.error;
        EXPECT_EQ(folderPicture(app.path()), before) << c.what;
        EXPECT_TRUE(fs::is_empty(download.path())) << c.what;
    }
}

TEST_F(EncoderFetch, AFailedFetchSaysWhyAndLeavesBothFoldersAsTheyWere) {
    writeFile(app.file("zenvira"), "the program");
    const auto before = folderPicture(app.path());
    const auto result = EncoderDownload(request()).run();  // nothing at that path: 404
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("https://www.zenvira.net/files/avformat.zip"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("404"), std::string::npos) << result.error;
    EXPECT_EQ(folderPicture(app.path()), before);
    EXPECT_TRUE(fs::is_empty(download.path()));

    // The archive is there but its checksum is not: refused all the same.
    product.site.addFixed("/files/avformat.zip", {.body = makeZip({{"avformat.dll", "x"}}), .contentType = "application/zip"});
    const auto unchecked = EncoderDownload(request()).run();
    EXPECT_FALSE(unchecked.ok);
    EXPECT_NE(unchecked.error.find("avformat.zip.sha256"), std::string::npos) << unchecked.error;
    EXPECT_EQ(folderPicture(app.path()), before);
}

TEST(EncoderChecksum, ReadsTheDigestAsSha256sumWritesIt) {
    const std::string digest = sha256Of("archive");
    EXPECT_EQ(convert::publishedSha256(digest + "  avformat.zip\n"), digest);
    EXPECT_EQ(convert::publishedSha256(digest + " *avformat.zip\r\n"), digest);
    EXPECT_EQ(convert::publishedSha256("\n  " + QString::fromStdString(digest).toUpper().toStdString()), digest);
    EXPECT_EQ(convert::publishedSha256("\\" + digest + "  odd\\nname.zip\n"), digest);
    for (const std::string& bad : std::vector<std::string>{std::string(), "  \n", digest.substr(1) + "  avformat.zip", digest + "0",
                                  "g" + digest.substr(1), "<html>" + digest + "</html>"})
        EXPECT_EQ(convert::publishedSha256(bad), "") << bad;
    // The pin of this version is a real SHA-256; the variable replaces it.
    EXPECT_EQ(convert::publishedSha256(convert::pinnedEncoderArchiveSha256()), convert::pinnedEncoderArchiveSha256());
}

}  // namespace
