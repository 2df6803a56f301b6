#include <gtest/gtest.h>

#include "app/batch_list.h"
#include "app/update_check.h"

using namespace zenvira;
using namespace zenvira::app;

namespace {

PageReader serving(const std::string& mver) {
    return [mver](const std::string&, components::CancelToken*) {
        return components::FetchResult{true, "<html><body><div id=\"mver\">" + mver + "</div></body></html>", "", 200};
    };
}

}  // namespace

TEST(UpdateCheck, FindsTheFirstMverDivExactly) {
    EXPECT_EQ(publishedVersionText(R"(<div id="news">x</div><DIV ID="mver">2.6</DIV>)"), "2.6");
    EXPECT_EQ(publishedVersionText(R"(<div id="mver">2.7</div><div id="mver">9.9</div>)"), "2.7");
    EXPECT_EQ(publishedVersionText(R"(<div id="MVER">3.0</div>)"), "");
    EXPECT_EQ(publishedVersionText(R"(<span id="mver">3.0</span>)"), "");
    EXPECT_EQ(publishedVersionText("<div id=mver>\n  <b>3.0</b>\n  beta </div>"), "3.0 beta");
    EXPECT_EQ(publishedVersionText("not html at all"), "");
    // Deep nesting, as much as fits the bounded update page, is read without recursion.
    std::string deep;
    for (int i = 0; i < 12000; ++i) deep += "<div>";
    EXPECT_EQ(publishedVersionText(deep + "<div id=mver>2.9</div>"), "2.9");
}

TEST(UpdateCheck, ReadsTheNumberAsTheOldValDid) {
    EXPECT_DOUBLE_EQ(readVersionNumber("2.6"), 2.6);
    EXPECT_DOUBLE_EQ(readVersionNumber("3.0 beta"), 3.0);
    EXPECT_DOUBLE_EQ(readVersionNumber("2,6"), 2.0);
    EXPECT_DOUBLE_EQ(readVersionNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(readVersionNumber("v2.6"), 0.0);
    EXPECT_DOUBLE_EQ(readVersionNumber(" 2 .\t5\n1"), 2.51);
    EXPECT_DOUBLE_EQ(readVersionNumber("1e1x"), 10.0);
    EXPECT_DOUBLE_EQ(readVersionNumber("2.5.1"), 2.5);
}

TEST(UpdateCheck, OnlyAStrictlyGreaterNumberPrompts) {
    for (const char* newer : {"2.51", "10", "3.0 beta"}) {
        const auto check = checkForNewerVersion(serving(newer));
        EXPECT_TRUE(check.newer) << newer;
        EXPECT_EQ(check.versionText, newer);
    }
    for (const char* same : {"2.5", "2.50", "2,6", "", "soon"}) EXPECT_FALSE(checkForNewerVersion(serving(same)).newer) << same;
    const auto failed = checkForNewerVersion([](const std::string&, components::CancelToken*) {
        return components::FetchResult{false, "", "HTTP 503", 503};
    });
    EXPECT_FALSE(failed.newer);
    EXPECT_EQ(newVersionMessage("3.0 beta"), "Zenvira Version 3.0 beta is available, Recommend download and update");
}

TEST(BatchList, TakesEveryWebAddressAResolverReadsAndKeepsItWhole) {
    struct Case {
        const char* typed;
        const char* row;      // nullptr: not taken
        const char* address;  // what the batch reads
    };
    for (const Case& c : std::vector<Case>{
             {"https://www.youtube.com/watch?v=zv2DemoSea1", "https://www.youtube.com/watch?v=zv2DemoSea",
              "https://www.youtube.com/watch?v=zv2DemoSea1"},
             {" http://cdn.example.com/live/master.m3u8 ", "http://cdn.example.com/live/master.m3u8",
              "http://cdn.example.com/live/master.m3u8"},
             {"HTTPS://media.example.org/programmes/2026/12/the-sea/", "HTTPS://media.example.org/programmes/2026/",
              "HTTPS://media.example.org/programmes/2026/12/the-sea/"},
             {"http://www.YouTube.com/watch?v=abcdefghijk", nullptr, nullptr},
             {"ftp://example.com/a.mp4", nullptr, nullptr},
             {"file:///home/me/a.mp4", nullptr, nullptr},
             {"http:///a.mp4", nullptr, nullptr},
             {"http://example.com/a b.mp4", nullptr, nullptr},
             {"example.com/a.mp4", nullptr, nullptr},
         }) {
        const auto entry = batchEntryFor(c.typed);
        if (!c.row) {
            EXPECT_FALSE(entry) << c.typed;
            continue;
        }
        ASSERT_TRUE(entry) << c.typed;
        EXPECT_EQ(entry->row, c.row);
        EXPECT_EQ(entry->address, c.address);
    }
}

TEST(BatchList, TakesWatchAddressesCutToFortyTwoCharacters) {
    EXPECT_EQ(batchRowFor("http://www.youtube.com/watch?v=abcdefghijk&feature=related&t=5"),
              "http://www.youtube.com/watch?v=abcdefghijk");
    EXPECT_EQ(batchRowFor("youtube.com/watch"), "youtube.com/watch");
    EXPECT_FALSE(batchRowFor("http://www.YouTube.com/watch?v=abcdefghijk"));
    EXPECT_FALSE(batchRowFor(""));
    // Characters, not bytes.
    EXPECT_EQ(batchRowFor("youtube.com/watch?v=\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                          "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                          "\xC3\xA9\xC3\xA9\xC3\xA9"),
              "youtube.com/watch?v=\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}
