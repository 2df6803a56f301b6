// The generic resolver's reading of pages of today's shapes: which streams, in which order,
// with which heights, and the title.
#include <gtest/gtest.h>

#include <string>

#include "resolve/generic/generic_page.h"
#include "resolve/generic/page_scan.h"
#include "resolve/generic/page_videos.h"

using namespace zenvira::resolve;

namespace {

const std::string kPage = "https://video.example.com/clips/harbour/index.html?ref=home";

std::string filler(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "<div class=\"card\"><a href=\"/clips/other\">Other clip &amp; more</a>"
                "<script>var x = {\"a\": \"<video src='nope.mp4'>\"}; if (a < b) {}</script></div>\n";
    return text;
}

std::vector<std::string> addresses(const GenericPage& page) {
    std::vector<std::string> out;
    for (const auto& s : page.streams) out.push_back(s.address);
    return out;
}

}  // namespace

TEST(GenericPage, VideoSourcesInPageOrderWithTheirLabelledHeights) {
    const std::string page = "<!doctype html><html><head><title>  Harbour\n at dusk </title></head><body>" + filler(30000) +
                             "<video controls poster=\"p.jpg\">"
                             "<source src=\"/media/harbour_1080.mp4\" type=\"video/mp4\" size=\"1080\">"
                             "<source src=\"media/harbour-hd.webm\" type='video/webm; codecs=\"vp9\"' label=\"720p HD\">"
                             "<SOURCE SRC=\"//cdn.example.com/h?a=1&amp;b=2\" data-quality=\"480p\">"
                             "<source src=\"../x/low.flv\" data-res=\"240\">"
                             "</video>" + filler(30000) + "</body></html>";
    const auto found = readGenericPage(page, kPage);
    EXPECT_EQ(found.title, "Harbour at dusk");
    ASSERT_EQ(found.streams.size(), 4u);
    EXPECT_EQ(addresses(found), (std::vector<std::string>{
                                    "https://video.example.com/media/harbour_1080.mp4",
                                    "https://video.example.com/clips/harbour/media/harbour-hd.webm",
                                    "https://cdn.example.com/h?a=1&b=2",
                                    "https://video.example.com/clips/x/low.flv"}));
    EXPECT_EQ(found.streams[0].height, 1080);
    EXPECT_EQ(found.streams[1].height, 720);
    EXPECT_EQ(found.streams[1].container, "webm");
    EXPECT_EQ(found.streams[2].height, 480);
    EXPECT_EQ(found.streams[2].container, "");  // neither type nor extension: the probe decides
    EXPECT_EQ(found.streams[3].height, 240);
    EXPECT_EQ(found.streams[3].container, "flv");
}

TEST(GenericPage, OrderAcrossSourcesAndTitlePreference) {
    const std::string page =
        "<html><head><title>Plain title</title>"
        "<meta property=\"og:title\" content=\"Og &quot;title&quot;\">"
        "<meta property=\"og:video\" content=\"https://v.example.com/og.mp4\">"
        "<meta property=\"og:video:secure_url\" content=\"https://v.example.com/og-secure.mp4\">"
        "<meta property=\"og:video:type\" content=\"video/mp4\">"
        "<meta property=\"og:video:height\" content=\"720\">"
        "<meta property=\"og:video\" content=\"https://v.example.com/embed/123\">"
        "<meta property=\"og:video:type\" content=\"text/html\">"
        "<meta name=\"twitter:player:stream\" content=\"https://v.example.com/tw_360p.mp4\">"
        "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\",\"@graph\":[{\"@type\":\"WebPage\"},"
        "{\"@type\":\"VideoObject\",\"name\":\"Json name\",\"contentUrl\":\"https:\\/\\/v.example.com\\/ld.mp4\","
        "\"height\":{\"@type\":\"QuantitativeValue\",\"value\":1080}}]}</script>"
        "</head><body><video src=\"/direct.webm\"></video>"
        "<script>player.setup({\"hls\":\"https:\\/\\/v.example.com\\/hls\\/master.m3u8?t=1\\u0026s=2\"});</script>"
        "<!-- <video src=\"/commented-out.mp4\"></video> 'https://v.example.com/old.m3u8' -->"
        "</body></html>";
    const auto found = readGenericPage(page, kPage);
    EXPECT_EQ(found.title, "Og \"title\"");
    EXPECT_EQ(addresses(found), (std::vector<std::string>{
                                    "https://video.example.com/direct.webm",
                                    "https://v.example.com/ld.mp4",
                                    "https://v.example.com/og.mp4",
                                    "https://v.example.com/og-secure.mp4",
                                    "https://v.example.com/tw_360p.mp4",
                                    "https://v.example.com/hls/master.m3u8?t=1&s=2",
                                    // A quoted address in a comment is still text of the page.
                                    "https://v.example.com/old.m3u8"}));
    EXPECT_EQ(found.streams[1].height, 1080);
    EXPECT_EQ(found.streams[2].height, 720);
    EXPECT_EQ(found.streams[3].height, 720);
    EXPECT_EQ(found.streams[4].height, 360);  // from its address
    EXPECT_EQ(found.streams[5].kind, StreamKind::Hls);
    EXPECT_EQ(found.streams[5].container, "mp4");
}

TEST(GenericPage, JsonLdNameWhenNoOgTitleAndBrokenJsonIsSkipped) {
    const std::string page =
        "<html><head><title>Plain</title>"
        "<script type=\"application/ld+json\">{ this is not json </script>"
        "<script type=\"application/ld+json\">[{\"@type\":[\"VideoObject\"],\"name\":\"From  JSON\",\"contentUrl\":\"/v/a.mp4\","
        "\"height\":\"720\"}]</script></head></html>";
    const auto found = readGenericPage(page, kPage);
    EXPECT_EQ(found.title, "From JSON");
    ASSERT_EQ(found.streams.size(), 1u);
    EXPECT_EQ(found.streams[0].address, "https://video.example.com/v/a.mp4");
    EXPECT_EQ(found.streams[0].height, 720);
}

TEST(GenericPage, BaseHrefAndRepeatsAndPagesWithoutVideo) {
    const auto based = readGenericPage(
        "<html><head><base href=\"https://static.example.net/m/\"><title>t</title></head>"
        "<body><video src=\"a_720p.mp4\"><source src=\"a_720p.mp4\" type=\"video/mp4\"></video></body></html>",
        kPage);
    ASSERT_EQ(based.streams.size(), 1u);
    EXPECT_EQ(based.streams[0].address, "https://static.example.net/m/a_720p.mp4");
    EXPECT_EQ(based.streams[0].container, "mp4");  // learnt from the repeat's type
    EXPECT_EQ(based.streams[0].height, 720);

    const auto none = readGenericPage("<html><head><title>No video here</title></head><body>" + filler(50000) +
                                          "<a href=\"/a.mp4\">a link is not a video</a><video></video></body></html>",
                                      kPage);
    EXPECT_EQ(none.title, "No video here");
    EXPECT_TRUE(none.streams.empty());
    EXPECT_TRUE(readGenericPage("", kPage).streams.empty());
    EXPECT_TRUE(readGenericPage("<video src=\"javascript:alert(1)\"><source src=\"data:video/mp4;base64,AAAA\">", kPage).streams.empty());
}

TEST(PageScan, KeepsOnlyTheTagsThatNameVideoAndSurvivesBrokenMarkup) {
    const std::string page = "<html><head><META name=x content=\"a>b\"><style>video{}</style></head><body>" +
                             std::string("<div><video src=a.mp4>") + "<p>unclosed" + "<script>var s = '<meta>';</script>";
    const auto excerpt = excerptPage(page);
    EXPECT_NE(excerpt.html.find("<META name=x content=\"a>b\">"), std::string::npos);
    EXPECT_NE(excerpt.html.find("<video src=a.mp4>"), std::string::npos);
    EXPECT_EQ(excerpt.html.find("video{}"), std::string::npos);
    // Unterminated everything at the end of the text.
    for (const char* tail : {"<video", "<meta content=\"", "<script>", "<title>", "<!--", "'x.m3u8", "\"", "<"})
        EXPECT_NO_THROW(readGenericPage(std::string("<html>") + tail, kPage)) << tail;
}

TEST(GenericPage, DashManifestsByTypeOrAddressAndTheVideosCaptionTracks) {
    const std::string page =
        "<html><head><title>Dash</title></head><body><video>"
        "<source src=\"/play/stream\" type=\"application/dash+xml\">"
        "<track kind=\"captions\" srclang=\"fr\" src=\"subs/fr.vtt\">"
        "<track kind=\"metadata\" src=\"cues.vtt\"><track src=\"subs/en.vtt\" srclang=\"en\">"
        "</video><script>var config = {dash: 'https://v.example.com/b/manifest.mpd?sig=1'};</script></body></html>";
    const auto found = readGenericPage(page, kPage);
    ASSERT_EQ(addresses(found), (std::vector<std::string>{"https://video.example.com/play/stream",
                                                          "https://v.example.com/b/manifest.mpd?sig=1"}));
    for (const auto& stream : found.streams) {
        EXPECT_EQ(stream.kind, StreamKind::Dash) << stream.address;
        EXPECT_EQ(stream.container, "mp4");
    }
    ASSERT_EQ(found.subtitles.size(), 2u);
    EXPECT_EQ(found.subtitles[0].language, "fr");
    EXPECT_EQ(found.subtitles[0].address, "https://video.example.com/clips/harbour/subs/fr.vtt");
    EXPECT_EQ(found.subtitles[1].language, "en");
}

// A page of many videos gives one entry per video: a VideoObject inside another is not a second
// video, an address that is not on the web is not one, and the <video>s count only when the
// JSON-LD names fewer of them.
TEST(PageVideos, OneEntryPerVideoFromTheItemListElseFromTheVideoElements) {
    const std::string list =
        "<html><head><title>Harbour week</title><script type=\"Application/LD+JSON\">{\"@type\":\"ItemList\","
        "\"itemListElement\":[{\"@type\":\"ListItem\",\"item\":{\"@type\":\"VideoObject\",\"name\":\"Monday\","
        "\"contentUrl\":\"/v/mon.mp4\",\"video\":{\"@type\":\"VideoObject\",\"contentUrl\":\"/v/mon-low.mp4\"}}},"
        "{\"@type\":\"ListItem\",\"item\":{\"@type\":\"VideoObject\",\"contentUrl\":[\"tue.m3u8\"]}},"
        "{\"@type\":\"ListItem\",\"item\":{\"@type\":\"VideoObject\",\"name\":\"Evil\",\"contentUrl\":\"javascript:alert(1)\"}},"
        "{\"@type\":\"ListItem\",\"item\":{\"@type\":\"VideoObject\",\"name\":\"Again\",\"contentUrl\":\"/v/mon.mp4\"}}]}"
        "</script></head><body><video src=\"/other.mp4\"></video></body></html>";
    const auto fromList = videosOfPage(list, kPage);
    ASSERT_EQ(fromList.size(), 2u);
    EXPECT_EQ(fromList[0].title, "Monday");
    EXPECT_EQ(fromList[0].address, "https://video.example.com/v/mon.mp4");
    EXPECT_EQ(fromList[1].title, "Harbour week (2)");
    EXPECT_EQ(fromList[1].address, "https://video.example.com/clips/harbour/tue.m3u8");

    const std::string elements =
        "<html><head><title>Two</title><script type=\"application/ld+json\">{\"@type\":\"VideoObject\","
        "\"contentUrl\":\"/a.mp4\"}</script></head><body><video title=\"First\"><source src=\"/a_240.mp4\">"
        "<source src=\"/a_720.mp4\"></video><video src=\"/b.webm\"></video></body></html>";
    const auto fromElements = videosOfPage(elements, kPage);
    ASSERT_EQ(fromElements.size(), 2u);
    EXPECT_EQ(fromElements[0].title, "First");
    EXPECT_EQ(fromElements[0].address, "https://video.example.com/a_720.mp4");
    EXPECT_EQ(fromElements[1].address, "https://video.example.com/b.webm");
}
