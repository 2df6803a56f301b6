// The resolver chain over a page that has been read: whose word stands when only one resolver
// finds something, how many extra addresses a page can make it read, and the heights it
// learns by reading a playlist's first segment.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

#include "resolve/resolver.h"
#include "tests/media/web_media.h"

using namespace zenvira;
using namespace zenvira::resolve;

namespace {

components::FetchResult pageOf(std::string text, std::string contentType = "text/html; charset=utf-8") {
    components::FetchResult page;
    page.ok = true;
    page.text = std::move(text);
    page.contentType = std::move(contentType);
    return page;
}

const Fetcher kNothing = [](const std::string&) { return components::FetchResult{}; };

// The data markers of a watch page that offers no quality of ours.
const std::string kEmptyPlayer =
    R"(<script>var cfg = {"fmt_list": "", "fmt_url_map": "", "csi_page_type": "watch"};</script>)";

}  // namespace

TEST(ResolverChain, AWatchPageWithoutAStreamKeepsItsOwnTitle) {
    struct Case {
        const char* name;
        std::string page;
        std::string resolver, title;
        std::size_t streams;
    };
    const Case cases[] = {
        {"title and meta",
         "<html><head><meta name=\"title\" content=\"Harbour at dusk\"><title>YouTube - Harbour at "
         "dusk</title></head><body>" +
             kEmptyPlayer + "</body></html>",
         "watch-page", "Harbour at dusk", 0},
        {"meta only",
         "<html><head><meta name=\"title\" content=\"Harbour at dusk\"></head><body>" + kEmptyPlayer + "</body></html>",
         "watch-page", "Harbour at dusk", 0},
        // The generic resolver's streams still count on a watch page.
        {"watch page with a video tag",
         "<html><head><meta name=\"title\" content=\"Harbour at dusk\"><title>YouTube - x</title></head><body>" +
             kEmptyPlayer +
             "<video src=\"http://cdn.example.com/harbour_720p.mp4\" type=\"video/mp4\"></video></body></html>",
         "watch-page", "Harbour at dusk", 1},
        {"any other page", "<html><head><title>Just words</title></head><body><p>No video.</p></body></html>",
         "generic", "Just words", 0},
    };
    for (const auto& c : cases) {
        const auto resolution =
            resolveFetchedPage("http://www.example.com/watch?v=abcdefghijk", pageOf(c.page), kNothing);
        EXPECT_EQ(resolution.resolver, c.resolver) << c.name;
        EXPECT_EQ(resolution.videoTitle, c.title) << c.name;
        EXPECT_EQ(resolution.streams.size(), c.streams) << c.name;
        EXPECT_EQ(resolution.best.has_value(), c.streams > 0) << c.name;
        EXPECT_EQ(resolution.List1, std::vector<std::string>(5, "no")) << c.name;
    }
}

TEST(ResolverChain, APageOfCountlessSourcesCostsAFewReadsAtMost) {
    std::string page = "<html><head><title>Many</title></head><body><video>";
    constexpr int kSources = 50000;
    for (int i = 0; i < kSources; ++i) page += "<source src=\"/v/clip" + std::to_string(i) + "\">";
    page += "</video></body></html>";
    int reads = 0;
    const Fetcher counting = [&reads](const std::string&) {
        ++reads;
        return components::FetchResult{};  // unreadable: the stream is dropped
    };
    const auto resolution = resolveFetchedPage("http://www.example.com/many", pageOf(page), counting);
    EXPECT_EQ(reads, kMostExtraReads);
    // The rest stand as the page names them.
    EXPECT_EQ(resolution.streams.size(), static_cast<std::size_t>(kSources - kMostExtraReads));
}

TEST(ResolverChain, AMediaPlaylistThatSaysNoHeightIsProbedFromItsFirstSegment) {
    struct Case {
        testmedia::HlsVariantShape variant;
    };
    const Case cases[] = {{{640, 360, false, false}}, {{426, 240, true, false}}};
    for (const auto& c : cases) {
        QTemporaryDir folder;
        ASSERT_TRUE(testmedia::makeHlsLadder(folder.path(), {{c.variant}, 4, 2})) << "ffmpeg could not make the ladder";
        const QString variant = QDir(folder.path()).filePath(QString::number(c.variant.height) + "p");
        const auto read = [&variant](const QString& name) {
            QFile file(QDir(variant).filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
        };
        // Served under a name that says nothing about its height.
        const std::string address = "http://cdn.example.com/live/stream.m3u8";
        int reads = 0;
        const Fetcher segments = [&](const std::string& more) {
            ++reads;
            components::FetchResult bytes =
                pageOf(read(QString::fromStdString(more.substr(more.rfind('/') + 1))), "video/mp2t");
            bytes.ok = !bytes.text.empty();
            bytes.mediaPrefix = true;
            return bytes;
        };
        const auto resolution =
            resolveFetchedPage(address, pageOf(read("index.m3u8"), "application/vnd.apple.mpegurl"), segments);
        ASSERT_EQ(resolution.streams.size(), 1u) << c.variant.height;
        EXPECT_EQ(resolution.streams[0].height, c.variant.height);
        EXPECT_EQ(resolution.streams[0].kind, StreamKind::Hls);
        EXPECT_EQ(reads, 1);
    }
}
