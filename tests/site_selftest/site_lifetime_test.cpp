// The server's robustness: bad requests, clients that vanish, and a destructor that does not
// wait for its clients.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "tests/site/fixture_site.h"
#include "tests/site_selftest/http_client.h"

namespace zenvira::site {
namespace {

using Clock = std::chrono::steady_clock;
using testing::fetch;

// A plain TCP client, to send what libcurl never would.
class RawClient {
public:
    explicit RawClient(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval limit{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    void send(const std::string& text) { ASSERT_EQ(::send(fd_, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size())); }

    // Everything until the server closes (or the limit passes).
    std::string readToClose() {
        std::string all;
        char chunk[4096];
        ssize_t n;
        while ((n = ::recv(fd_, chunk, sizeof chunk, 0)) > 0) all.append(chunk, static_cast<std::size_t>(n));
        return all;
    }

    std::string readSome(std::size_t atLeast) {
        std::string all;
        char chunk[4096];
        ssize_t n;
        while (all.size() < atLeast && (n = ::recv(fd_, chunk, sizeof chunk, 0)) > 0)
            all.append(chunk, static_cast<std::size_t>(n));
        return all;
    }

private:
    int fd_;
    bool connected_ = false;
};

TEST(SiteRobustness, MalformedRequestsGet400AndTheServerGoesOn) {
    FixtureSite site;
    site.setPublishedVersion("3.0");
    for (const char* bad : {"GARBAGE\r\n\r\n", "GET /listurl.html HTTP/9.9\r\n\r\n", "GET  HTTP/1.1\r\n\r\n",
                            "GET /listurl.html HTTP/1.1\r\nno colon here\r\n\r\n",
                            "GET /listurl.html HTTP/1.1\r\nContent-Length: lots\r\n\r\n",
                            "GET www.youtube.com/watch HTTP/1.1\r\n\r\n"}) {
        RawClient client(site.port());
        ASSERT_TRUE(client.connected());
        client.send(bad);
        EXPECT_EQ(client.readToClose().rfind("HTTP/1.1 400 ", 0), 0u) << bad;
    }
    RawClient huge(site.port());
    huge.send("GET /" + std::string(100 * 1024, 'a'));
    EXPECT_EQ(huge.readToClose().rfind("HTTP/1.1 431 ", 0), 0u);

    // Two pipelined requests on one connection, the second closing it.
    RawClient pipelined(site.port());
    pipelined.send("GET /listurl.html HTTP/1.1\r\nHost: a\r\n\r\nGET http://b/listurl.html HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n");
    const std::string both = pipelined.readToClose();
    EXPECT_EQ(both.find("HTTP/1.1 200 "), 0u);
    EXPECT_NE(both.find("HTTP/1.1 200 ", 10), std::string::npos);
    EXPECT_NE(both.find("<div id=\"mver\">3.0</div>", both.find("HTTP/1.1 200 ", 10)), std::string::npos);

    EXPECT_EQ(fetch({site.localAddress("/listurl.html")}).status, 200);
}

TEST(SiteRobustness, ClientLeavingMidBodyDoesNotDisturbOthers) {
    FixtureSite site;
    site.addStream("long", {.size = 64ull * 1024 * 1024});
    for (int i = 0; i < 3; ++i) {
        RawClient client(site.port());
        client.send("GET " + streamAddress("long") + " HTTP/1.1\r\nHost: v1\r\n\r\n");
        EXPECT_GE(client.readSome(100000).size(), 100000u);
    }  // closed with most of the body unsent
    const auto reply = fetch({streamAddress("long"), site.proxyAddress(), "0-99"});
    EXPECT_EQ(reply.status, 206);
    EXPECT_TRUE(testing::matchesStreamBytes(reply.body, 0));
}

TEST(SiteLifetime, DestructorReturnsPromptlyWhileClientsAreConnected) {
    auto site = std::make_unique<FixtureSite>();
    site->addStream("slow", {.size = 10'000'000, .bytesPerSecond = 100'000});
    site->addFixed("/stall", {200, "late", "text/plain", {}, false, std::chrono::seconds(30)});
    RawClient idle(site->port());
    RawClient halfRequest(site->port());
    halfRequest.send("GET /listurl.html HTTP/1.1\r\nHost: a\r\n");
    const testing::Get slow{streamAddress("slow"), site->proxyAddress()};
    const testing::Get stall{site->localAddress("/stall")};
    auto slowDownload = std::async(std::launch::async, [&] { return fetch(slow); });
    auto stalled = std::async(std::launch::async, [&] { return fetch(stall); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto start = Clock::now();
    site.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_NE(slowDownload.get().code, CURLE_OK);
    EXPECT_NE(stalled.get().code, CURLE_OK);
    EXPECT_EQ(idle.readToClose(), "");
}

}  // namespace
}  // namespace zenvira::site
