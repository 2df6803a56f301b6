// The movie copy's name, the movie address of a play request, and the copy's bytes.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <set>
#include <variant>

#include "ui/flash_player/swf_header.h"
#include "player/movie/custom_resource.h"
#include "player/window/movie_file.h"
#include "player_test_support.h"

using namespace zenvira::player;

TEST(MovieFile, NumberStaysInItsRange) {
    EXPECT_EQ(movieNumberForDraw(0.0), 187);
    EXPECT_EQ(movieNumberForDraw(0.54321), 54508);
    EXPECT_EQ(movieNumberForDraw(0.9999999999), 100186);

    MovieNumberDraw draw(12345);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int n = draw.next();
        ASSERT_GE(n, 187);
        ASSERT_LE(n, 100186);
        seen.insert(n);
    }
    EXPECT_GT(seen.size(), 1900u);  // spread, not stuck
    // The same second gives the same sequence; another second another one.
    EXPECT_EQ(MovieNumberDraw(777).next(), MovieNumberDraw(777).next());
    EXPECT_NE(MovieNumberDraw(777).next(), MovieNumberDraw(778).next());
}

TEST(MovieFile, AddressOfTheExample) {
    const std::string moviefile = movieFilePath("C:\\Temp\\", 4242);
    EXPECT_EQ(moviefile, "C:\\Temp\\4242");
    EXPECT_EQ(movieAddress(moviefile, "D:\\v\\clip.flv"), "C:/Temp/4242?file=D:/v/clip.flv");
    EXPECT_EQ(kAutostartFlashVars, "autostart=true");
    // Blanks, "&", "%" and letters outside ASCII go as they are.
    EXPECT_EQ(movieAddress("/tmp/187", "/home/u/My Videos/a b & c%20ü.flv"),
              "/tmp/187?file=/home/u/My Videos/a b & c%20ü.flv");
}

TEST(MovieFile, CopyHoldsTheMovieAsTheResourceCarriesIt) {
    testApplication();
    const QString folder = freshFolder("movie-copy");
    const std::string path = (folder + "/4242").toStdString();
    // A longer file of the same name is replaced, not left with a tail.
    {
        QFile stale(QString::fromStdString(path));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(100000, 'x'));
    }
    std::string error;
    ASSERT_TRUE(writeResourceFile(customResource(kPlayerMovieResource), path, error)) << error;

    QFile copy(QString::fromStdString(path));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray bytes = copy.readAll();
    const auto resource = customResource(kPlayerMovieResource);
    ASSERT_EQ(bytes.size(), static_cast<qsizetype>(resource.size()));
    EXPECT_EQ(0, std::memcmp(bytes.constData(), resource.data(), resource.size()));

    // The header: "CWS", version 8, the uncompressed length, a 320 x 260 stage at 20 fps.
    EXPECT_EQ(bytes.left(3), QByteArray("CWS"));
    EXPECT_EQ(static_cast<int>(bytes.at(3)), 8);
    const auto read = zenvira::components::readSwfFile(path);
    ASSERT_TRUE(std::holds_alternative<zenvira::components::SwfHeader>(read)) << std::get<std::string>(read);
    const auto& header = std::get<zenvira::components::SwfHeader>(read);
    EXPECT_TRUE(header.compressed);
    EXPECT_EQ(header.version, 8);
    EXPECT_EQ(header.stageWidthTwips, 6400);
    EXPECT_EQ(header.stageHeightTwips, 5200);
    EXPECT_DOUBLE_EQ(header.frameRate, 20.0);
    const auto length = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(4))) |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(5))) << 8 |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(6))) << 16 |
                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(7))) << 24;
    EXPECT_EQ(length, header.fileLength);
}

TEST(MovieFile, FailuresAreReportedNotThrown) {
    testApplication();
    std::string error;
    EXPECT_FALSE(writeResourceFile(customResource(102), (freshFolder("no-resource") + "/1").toStdString(), error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(writeResourceFile(customResource(kPlayerMovieResource), "/nonexistent-folder/4242", error));
    EXPECT_FALSE(error.empty());
}
