// Pages the fixture site serves: routing of both target forms, the watch page's shape,
// the update page and fixed answers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>

#include "tests/site/fixture_site.h"
#include "tests/site_selftest/http_client.h"

namespace zenvira::site {
namespace {

using testing::fetch;

WatchPageShape twoFormatPage() {
    return {"Harbour Lights | Take 1/2",
            {{"22", "1280x720", streamAddress("clip-22")}, {"5", "320x240", streamAddress("clip-5", "v7.lscache.c.youtube.com")}},
            40 * 1024};
}

TEST(SiteRouting, AnswersAbsoluteFormAsAProxyAndOriginFormDirectly) {
    FixtureSite site;
    site.addWatchPage("abcdefghijk", twoFormatPage());
    const std::string page = makeWatchPage(twoFormatPage());

    const auto proxied = fetch({"http://www.youtube.com/watch?v=abcdefghijk", site.proxyAddress()});
    EXPECT_EQ(proxied.status, 200);
    EXPECT_EQ(proxied.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(proxied.body, page);
    const auto direct = fetch({site.localAddress("/watch?feature=related&v=abcdefghijk")});
    EXPECT_EQ(direct.status, 200);
    EXPECT_EQ(direct.body, page);

    EXPECT_EQ(fetch({"http://www.youtube.com/watch?v=unknownclip", site.proxyAddress()}).status, 404);
    EXPECT_EQ(fetch({"http://www.youtube.com/watch", site.proxyAddress()}).status, 404);
    EXPECT_EQ(fetch({"http://elsewhere.example/some/page.html", site.proxyAddress()}).status, 404);

    const auto seen = site.requests();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "http://www.youtube.com/watch?v=abcdefghijk");
    EXPECT_EQ(seen[0].path, "/watch?v=abcdefghijk");
    EXPECT_EQ(seen[0].headers.at("host"), "www.youtube.com");
    EXPECT_EQ(seen[1].target, "/watch?feature=related&v=abcdefghijk");
    site.clearRequests();
    EXPECT_TRUE(site.requests().empty());
}

TEST(SiteRouting, UpdatePageCarriesThePublishedVersion) {
    FixtureSite site;
    const auto before = fetch({"http://www.zenvira.example/listurl.html", site.proxyAddress()});
    EXPECT_EQ(before.status, 200);
    EXPECT_NE(before.body.find("<div id=\"mver\">2.5</div>"), std::string::npos);
    EXPECT_GE(std::count(before.body.begin(), before.body.end(), '<') , 10);
    site.setPublishedVersion("2.7");
    const auto after = fetch({"http://www.zenvira.example/listurl.html", site.proxyAddress()});
    EXPECT_NE(after.body.find("<div id=\"mver\">2.7</div>"), std::string::npos);
}

TEST(WatchPage, TitleFirstThenMarkersInOrderWithEscapedAddresses) {
    const auto watch = twoFormatPage();
    const std::string page = makeWatchPage(watch);
    EXPECT_GE(page.size(), watch.fillerBytes);

    // The title is the first content= and nothing before it mentions "content".
    const std::size_t content = page.find("content");
    ASSERT_NE(content, std::string::npos);
    EXPECT_EQ(page.compare(content, 9, "content=\""), 0);
    EXPECT_EQ(page.substr(content + 9, watch.title.size() + 2), watch.title + "\">");
    EXPECT_NE(page.rfind("<meta name=\"title\" ", content), std::string::npos);

    const std::size_t list = page.find("\"fmt_list\": \"");
    const std::size_t map = page.find("\"fmt_url_map\"");
    const std::size_t end = page.find("\"csi_page_type\"");
    ASSERT_NE(list, std::string::npos);
    ASSERT_NE(map, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(list, map);
    EXPECT_LT(map, end);
    for (const char* marker : {"\"fmt_list\": \"", "\"fmt_url_map\"", "\"csi_page_type\""})
        EXPECT_EQ(page.find(marker, page.find(marker) + 1), std::string::npos) << marker;

    EXPECT_NE(page.find("\"fmt_list\": \"22\\/1280x720\\/9\\/0\\/115,5\\/320x240\\/9\\/0\\/115\", "),
              std::string::npos);
    const std::string mapText = page.substr(map, end - map);
    EXPECT_EQ(mapText.rfind("\"fmt_url_map\": \"22|http:\\/\\/v1.lscache.c.youtube.com\\/videoplayback?ip=", 0), 0u);
    EXPECT_NE(mapText.find(",5|http:\\/\\/v7.lscache.c.youtube.com\\/videoplayback?"), std::string::npos);
    EXPECT_NE(mapText.find("\\u0026id=clip-5\", "), std::string::npos);
    for (std::size_t i = mapText.find('/'); i != std::string::npos; i = mapText.find('/', i + 1))
        EXPECT_EQ(mapText[i - 1], '\\') << "unescaped slash at " << i;

    // The filler before the player holds no quote followed by a comma.
    const std::size_t config = page.find("var swfConfig = {\"url\": ");
    ASSERT_NE(config, std::string::npos);
    EXPECT_EQ(page.substr(0, config).find("\","), std::string::npos);
    EXPECT_GT(page.size() - end, watch.fillerBytes / 2);  // markup after the data as well
}

TEST(StreamAddress, IsInTheSitesShapeWithUndecodedSeparators) {
    const std::string address = streamAddress("clip-34");
    EXPECT_EQ(address.rfind("http://v1.lscache.c.youtube.com/videoplayback?ip=0.0.0.0\\u0026sparams=id%2Cexpire", 0), 0u);
    EXPECT_NE(address.find("\\u0026signature="), std::string::npos);
    const std::string tail = "\\u0026id=clip-34";
    EXPECT_EQ(address.substr(address.size() - tail.size()), tail);
    EXPECT_EQ(address.find('&'), std::string::npos);
    EXPECT_EQ(streamAddress("clip-34"), address);  // the same id gives the same address
}

std::string gunzip(const std::string& data) {
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : "<not gzip>";
}

TEST(FixedAnswers, MatchExactlyOrByPathWithHeadersGzipAndDelay) {
    FixtureSite site;
    const std::string text(5000, 'z');
    site.addFixed("/setup.tar.gz?arch=x86", {200, "exact", "text/plain"});
    site.addFixed("/setup.tar.gz", {200, "by path", "text/plain"});
    site.addFixed("/moved", {302, "", "text/html", {{"Location", "http://www.youtube.com/watch?v=x"}}});
    site.addFixed("/packed", {200, text, "text/plain", {}, true});
    site.addFixed("/slow", {503, "later", "text/plain", {}, false, std::chrono::milliseconds(300)});

    EXPECT_EQ(fetch({"http://dl.example/setup.tar.gz?arch=x86", site.proxyAddress()}).body, "exact");
    EXPECT_EQ(fetch({"http://dl.example/setup.tar.gz?arch=arm", site.proxyAddress()}).body, "by path");
    const auto moved = fetch({"http://dl.example/moved", site.proxyAddress()});
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.header("Location"), "http://www.youtube.com/watch?v=x");

    const auto raw = fetch({"http://dl.example/packed", site.proxyAddress()});
    EXPECT_EQ(raw.header("Content-Encoding"), "gzip");
    EXPECT_EQ(std::stoul(raw.header("Content-Length")), raw.body.size());
    EXPECT_EQ(gunzip(raw.body), text);
    testing::Get decoded{"http://dl.example/packed", site.proxyAddress()};
    decoded.acceptGzip = true;
    EXPECT_EQ(fetch(decoded).body, text);

    const auto slow = fetch({"http://dl.example/slow", site.proxyAddress()});
    EXPECT_EQ(slow.status, 503);
    EXPECT_EQ(slow.body, "later");
    EXPECT_GE(slow.seconds, 0.29);
}

}  // namespace
}  // namespace zenvira::site
