// FetchText against the fixture site: proxy and direct, compression, redirects, error
// statuses, unreachable servers, time-outs, size limits and bad addresses.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/page_fetch/page_fetch.h"
#include "tests/page_fetch/proxy_environment.h"
#include "tests/site/fixture_site.h"

namespace zenvira::components {
namespace {

using namespace std::chrono_literals;
using site::FixedResponse;
using site::FixtureSite;

FetchResult fetch(const std::string& address, FetchOptions options = {}, CancelToken* cancel = nullptr) {
    return PageFetch(std::move(options)).FetchText(address, cancel);
}

void expectFailure(const FetchResult& result, const std::string& reason) {
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, reason);
    EXPECT_TRUE(result.text.empty());
}

FixedResponse page(std::string body) {
    FixedResponse response;
    response.body = std::move(body);
    return response;
}

FixedResponse redirectTo(const std::string& location) {
    FixedResponse response;
    response.status = 302;
    response.headers = {{"Location", location}};
    return response;
}

class PageFetchTransfer : public ::testing::Test {
protected:
    FixtureSite site;
};

TEST_F(PageFetchTransfer, WatchPageComesThroughTheProxyWithItsAbsoluteAddress) {
    tests::ProxyEnvironment proxy(site.proxyAddress());
    site::WatchPageShape watch;
    watch.title = "A title with \xC3\xA9";
    watch.formats = {{"34", "640x360", "http://v1.lscache.c.youtube.com/videoplayback?id=a"}};
    site.addWatchPage("abcdefghijk", watch);
    FetchOptions options;
    options.userAgent = "ZenviraTest/1.0";

    const auto result = fetch("http://www.youtube.com/watch?v=abcdefghijk", options);

    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(result.text, site::makeWatchPage(watch));
    const auto seen = site.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://www.youtube.com/watch?v=abcdefghijk");
    EXPECT_EQ(seen[0].headers.at("user-agent"), "ZenviraTest/1.0");
}

TEST_F(PageFetchTransfer, DirectAndCompressedPagesArriveWhole) {
    tests::ProxyEnvironment noProxy;
    std::string body;
    for (int i = 0; i < 5000; ++i) body += "<div class=\"row\">row " + std::to_string(i) + "</div>\n";
    site.addFixed("/plain.html", page(body));
    auto gzipped = page(body);
    gzipped.gzip = true;
    site.addFixed("/gzip.html", gzipped);

    const auto plain = fetch(site.localAddress("/plain.html"));
    const auto compressed = fetch(site.localAddress("/gzip.html"));

    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.text, body);
    ASSERT_TRUE(compressed.ok) << compressed.error;
    EXPECT_EQ(compressed.text, body);
    const auto seen = site.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].target, "/plain.html");
    EXPECT_NE(seen[1].headers.at("accept-encoding").find("gzip"), std::string::npos);
}

TEST_F(PageFetchTransfer, FollowsTenRedirectsButNotEleven) {
    tests::ProxyEnvironment noProxy;
    // /hop/0 -> /hop/1 -> ... -> /hop/11, the page.
    for (int hop = 0; hop < 11; ++hop)
        site.addFixed("/hop/" + std::to_string(hop), redirectTo("/hop/" + std::to_string(hop + 1)));
    site.addFixed("/hop/11", page("arrived"));

    const auto tenHops = fetch(site.localAddress("/hop/1"));
    const auto elevenHops = fetch(site.localAddress("/hop/0"));

    ASSERT_TRUE(tenHops.ok) << tenHops.error;
    EXPECT_EQ(tenHops.text, "arrived");
    EXPECT_EQ(tenHops.httpStatus, 200);
    expectFailure(elevenHops, "Too many redirects (more than 10)");
    site.addFixed("/to-ftp", redirectTo("ftp://ftp.example.com/file"));
    expectFailure(fetch(site.localAddress("/to-ftp")),
                  "Redirected to an address that is not http or https: ftp://ftp.example.com/file");
}

TEST_F(PageFetchTransfer, ErrorStatusesFailWithTheirReason) {
    tests::ProxyEnvironment noProxy;
    FixedResponse broken = page("<h1>oops</h1>");
    broken.status = 500;
    site.addFixed("/broken", broken);
    FixedResponse unavailable = page("later");
    unavailable.status = 503;
    site.addFixed("/busy", unavailable);

    const auto missing = fetch(site.localAddress("/no/such/page"));
    expectFailure(missing, "HTTP 404 Not Found");
    EXPECT_EQ(missing.httpStatus, 404);
    expectFailure(fetch(site.localAddress("/broken")), "HTTP 500 Internal Server Error");
    expectFailure(fetch(site.localAddress("/busy")), "HTTP 503 Service Unavailable");
    // A redirect onto an error page is that error.
    site.addFixed("/moved", redirectTo("/no/such/page"));
    expectFailure(fetch(site.localAddress("/moved")), "HTTP 404 Not Found");
}

TEST(PageFetchUnreachable, ClosedServerOrProxyIsNamed) {
    std::string closedAddress;
    {
        FixtureSite gone;
        closedAddress = gone.proxyAddress();
    }
    {
        tests::ProxyEnvironment noProxy;
        expectFailure(fetch(closedAddress + "/"), "Could not connect to 127.0.0.1: connection refused");
    }
    tests::ProxyEnvironment proxy(closedAddress);
    expectFailure(fetch("http://www.youtube.com/watch?v=abcdefghijk"),
                  "Could not connect to 127.0.0.1 (the proxy for www.youtube.com): connection refused");
}

TEST_F(PageFetchTransfer, SlowAnswerTimesOut) {
    tests::ProxyEnvironment noProxy;
    FixedResponse slow = page("too late");
    slow.delay = 3s;
    site.addFixed("/slow", slow);
    FetchOptions impatient;
    impatient.totalTimeout = 300ms;

    const auto started = std::chrono::steady_clock::now();
    expectFailure(fetch(site.localAddress("/slow"), impatient), "Timed out after 0.3 s");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

// Stop and Ctrl-C: a read that waits for a slow server, or for a proxy that never answers,
// ends as soon as it is cancelled, and says it was stopped rather than that it failed.
TEST_F(PageFetchTransfer, CancelEndsAWaitingFetchAtOnce) {
    tests::ProxyEnvironment noProxy;
    FixedResponse slow = page("too late");
    slow.delay = 5s;
    site.addFixed("/slow", slow);

    CancelToken cancel;
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        cancel.cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    const auto result = fetch(site.localAddress("/slow"), {}, &cancel);
    const auto took = std::chrono::steady_clock::now() - started;
    stopper.join();

    EXPECT_TRUE(result.cancelled);
    expectFailure(result, kFetchCancelledText);
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 1s);

    // Cancelled before it starts: nothing is sent at all.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_TRUE(fetch(site.localAddress("/slow"), {}, &cancel).cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 200ms);

    // An unused cancel changes nothing.
    CancelToken unused;
    site.addFixed("/quick", page("here"));
    const auto quick = fetch(site.localAddress("/quick"), {}, &unused);
    EXPECT_TRUE(quick.ok) << quick.error;
    EXPECT_FALSE(quick.cancelled);
    EXPECT_EQ(quick.text, "here");
}

TEST_F(PageFetchTransfer, BodiesOverTheLimitAreRefusedWithOrWithoutLength) {
    tests::ProxyEnvironment noProxy;
    site.addFixed("/big", page(std::string(8192, 'x')));
    site::StreamShape unannounced;
    unannounced.size = 100'000;
    unannounced.omitContentLength = true;
    site.addStream("unannounced", unannounced);
    site::StreamShape announcedAndSlow;  // refused on its Content-Length, not after a trickle
    announcedAndSlow.size = 1'000'000;
    announcedAndSlow.bytesPerSecond = 1000;
    site.addStream("slow", announcedAndSlow);
    FetchOptions small;
    small.maxBodyBytes = 4096;

    expectFailure(fetch(site.localAddress("/big"), small), "The page is larger than 4 KiB");
    const auto started = std::chrono::steady_clock::now();
    expectFailure(fetch(site.localAddress("/videoplayback?id=slow"), small), "The page is larger than 4 KiB");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    expectFailure(fetch(site.localAddress("/videoplayback?id=unannounced"), small), "The page is larger than 4 KiB");
    small.maxBodyBytes = 8192;
    const auto exact = fetch(site.localAddress("/big"), small);
    ASSERT_TRUE(exact.ok) << exact.error;
    EXPECT_EQ(exact.text.size(), 8192u);
}

TEST(PageFetchAddress, BadAddressesFailWithAReadableLine) {
    expectFailure(fetch(""), "No address given");
    expectFailure(fetch("not an address"), "Not a valid address: not an address");
    expectFailure(fetch("http://"), "Not a valid address: http://");
    expectFailure(fetch("ftp://ftp.example.com/file.txt"),
                  "Only http and https addresses can be fetched, not ftp: ftp://ftp.example.com/file.txt");
    const auto garbage = fetch(std::string("http://a\n\x01\xFF") + std::string(5000, '%'));
    EXPECT_FALSE(garbage.ok);
    EXPECT_EQ(garbage.error.find('\n'), std::string::npos);
    EXPECT_LT(garbage.error.size(), 200u);
    // A C1 control in UTF-8 (CSI) is a control too; a long address is cut between characters.
    std::string accents;
    for (int i = 0; i < 100; ++i) accents += "\xC3\xA9";
    const auto csi = fetch("gopher://x/\xC2\x9B" "31m" + accents);
    EXPECT_EQ(csi.error.rfind("Only http and https addresses can be fetched, not gopher: gopher://x/?31m\xC3\xA9", 0), 0u);
    EXPECT_TRUE(csi.error.ends_with("\xC3\xA9...")) << csi.error;
}

}  // namespace
}  // namespace zenvira::components
