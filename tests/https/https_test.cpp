// HTTPS end to end: watch pages and streams come through a proxy's CONNECT tunnel over TLS,
// certificates are verified against the authorities the curl tool's variables name, and an
// unknown authority is refused.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "engine/page_fetch/page_fetch.h"
#include "tests/downloader/download_harness.h"
#include "tests/site/fixture_site.h"

namespace zenvira::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// Sets environment variables for one test and puts the old values back.
class Environment {
public:
    Environment(std::initializer_list<std::pair<const char*, std::optional<std::string>>> values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
            if (value) setenv(name, value->c_str(), 1);
            else unsetenv(name);
        }
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// https_proxy is the variable libcurl reads for https addresses; http_proxy alone would not do.
Environment throughProxy(const site::FixtureSite& site, const char* trustVariable, const std::string& trustFile) {
    const bool curlBundle = std::string(trustVariable) == "CURL_CA_BUNDLE";
    return Environment{{"https_proxy", site.proxyAddress()},
                       {"HTTPS_PROXY", std::nullopt},
                       {"no_proxy", std::nullopt},
                       {"NO_PROXY", std::nullopt},
                       {"CURL_CA_BUNDLE", curlBundle ? std::optional(trustFile) : std::nullopt},
                       {"SSL_CERT_FILE", curlBundle ? std::nullopt : std::optional(trustFile)},
                       {"SSL_CERT_DIR", std::nullopt}};
}

std::string secure(std::string address) { return "https" + address.substr(address.find("://")); }

site::WatchPageShape pageWithStream(const std::string& streamId) {
    return {"Over TLS", {{"34", "640x360", secure(site::streamAddress(streamId))}}};
}

int connectsTo(const site::FixtureSite& site, const std::string& authority) {
    int count = 0;
    for (const auto& request : site.requests()) count += request.method == "CONNECT" && request.target == authority;
    return count;
}

class HttpsThroughProxy : public ::testing::TestWithParam<const char*> {};

TEST_P(HttpsThroughProxy, AWatchPageAndItsStreamComeOverTls) {
    DownloadHarness h;
    const auto env = throughProxy(h.site, GetParam(), h.site.certificateAuthorityFile());
    const std::uint64_t size = 6 * kMiB + 777;
    h.site.addWatchPage("tlsvideo001", pageWithStream("tls-stream"));
    h.site.addStream("tls-stream", {.size = size});

    const auto page = components::PageFetch().FetchText("https://www.youtube.com/watch?v=tlsvideo001");
    ASSERT_TRUE(page.ok) << page.error;
    EXPECT_EQ(page.text, site::makeWatchPage(pageWithStream("tls-stream")));
    EXPECT_EQ(connectsTo(h.site, "www.youtube.com:443"), 1);

    h.prepare(secure(site::streamAddress("tls-stream")), "\\clip.flv", 2, 1024);
    const DownloadRecord record = h.run();
    ASSERT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/clip.flv", size));
    // Ranges went inside tunnels to the stream's host: one per connection at least.
    EXPECT_GE(connectsTo(h.site, "v1.lscache.c.youtube.com:443"), 2);
}

INSTANTIATE_TEST_SUITE_P(TrustNamedBy, HttpsThroughProxy, ::testing::Values("CURL_CA_BUNDLE", "SSL_CERT_FILE"));

TEST(HttpsVerification, ASiteSignedByAnAuthorityNotTrustedIsRefused) {
    DownloadHarness h;
    site::FixtureSite stranger;  // its authority signs nothing of h.site's
    const auto env = throughProxy(h.site, "CURL_CA_BUNDLE", stranger.certificateAuthorityFile());
    h.site.addWatchPage("tlsvideo002", pageWithStream("refused"));
    h.site.addStream("refused", {.size = kMiB});

    const auto page = components::PageFetch().FetchText("https://www.youtube.com/watch?v=tlsvideo002");
    EXPECT_FALSE(page.ok);
    EXPECT_TRUE(page.text.empty());
    EXPECT_EQ(page.error.rfind("The certificate of www.youtube.com could not be verified: ", 0), 0u) << page.error;

    h.prepare(secure(site::streamAddress("refused")));
    const DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 2);
    EXPECT_EQ(record.errorText.rfind("The certificate of v1.lscache.c.youtube.com could not be verified: ", 0), 0u)
        << record.errorText;
    EXPECT_FALSE(fileExists(h.driveFolder() + "/clip.flv"));
    for (const auto& request : h.site.requests()) EXPECT_EQ(request.method, "CONNECT") << request.target;
}

// A crashed server behind TLS closes without close_notify, which libcurl 7.88 takes for the
// end of a body without Content-Length: only a size told before shows the cut. Without one
// the file is saved with a warning that it could not be checked, never as a plain success.
TEST(HttpsVerification, ABodyCutWithoutCloseNotifyIsCaughtWhenItsSizeIsKnown) {
    DownloadHarness h;
    const auto env = throughProxy(h.site, "CURL_CA_BUNDLE", h.site.certificateAuthorityFile());
    const std::uint64_t size = 2 * kMiB;
    const site::StreamShape sized{.size = size, .acceptRanges = false, .dropAfterBytes = 300000, .dropTimes = 2,
                                 .resetOnDrop = true, .omitContentLengthWithoutRange = true};
    site::StreamShape unsized = sized;
    unsized.omitContentLength = true;
    h.site.addStream("sized", sized);
    h.site.addStream("unsized", unsized);

    h.prepare(secure(site::streamAddress("sized")), "\\sized.flv", 1);
    DownloadRecord record = h.run();
    EXPECT_EQ(record.outcome(), 1) << record.errorText;
    EXPECT_TRUE(matchesStream(h.driveFolder() + "/sized.flv", size));

    h.prepare(secure(site::streamAddress("unsized")), "\\unsized.flv", 1);
    record = h.run();
    EXPECT_EQ(record.outcome(), 3);
    EXPECT_NE(record.errorText.find("did not tell the size"), std::string::npos) << record.errorText;
}

// The command line, as a user runs it: a separate process with the curl tool's variables.
TEST(HttpsCommandLine, DownloadSavesAVideoWhosePageAndStreamAreHttps) {
    DownloadHarness h;  // its folder and site
    const std::uint64_t size = 2 * kMiB + 5;
    h.site.addWatchPage("tlsvideo003", pageWithStream("cli-stream"));
    h.site.addStream("cli-stream", {.size = size});
    const std::string folder = h.driveFolder() + "/out";
    const std::string command = "env -u http_proxy -u HTTPS_PROXY -u no_proxy -u SSL_CERT_FILE https_proxy=" +
                                h.site.proxyAddress() + " CURL_CA_BUNDLE=" + h.site.certificateAuthorityFile() +
                                " " ZENVIRA_CLI " download 'https://www.youtube.com/watch?v=tlsvideo003' -o '" +
                                folder + "' </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(matchesStream(folder + "/Over TLS.flv", size));
}

}  // namespace
}  // namespace zenvira::testing
