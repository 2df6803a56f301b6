// zenvira-cli resolve, run as a user runs it: a separate process that reaches the fixture
// site through http_proxy with the video site's own addresses.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "app/cli/json_writer.h"
#include "app/cli/resolve_command.h"
#include "tests/site/fixture_site.h"

using namespace zenvira;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
};

// Runs the CLI with the proxy set; stderr is folded into the output after a marker.
RunResult runCli(const std::string& proxy, const std::string& args) {
    const std::string command = "http_proxy=" + proxy + " " ZENVIRA_CLI " " + args + " 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buf{};
    while (const auto n = fread(buf.data(), 1, buf.size(), pipe)) result.out.append(buf.data(), n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

site::WatchPageSpec watchPage(const std::string& title, std::initializer_list<std::pair<const char*, const char*>> formats) {
    site::WatchPageSpec page{title, {}};
    for (const auto& [code, size] : formats)
        page.formats.push_back({code, size, site::streamAddress(std::string("clip-") + code)});
    return page;
}

}  // namespace

TEST(CliResolve, PrintsTheResolutionOfWhatTheSiteServes) {
    site::FixtureSite site;
    const site::WatchPageSpec pages[] = {
        watchPage("All \"five\" \\ qualities", {{"37", "1920x1080"}, {"22", "1280x720"}, {"35", "854x480"},
                                           {"34", "640x360"}, {"18", "320x240"}}),
        watchPage("Only the lowest", {{"36", "320x240"}}),
        watchPage("Mid range: 480/360?", {{"35", "854x480"}, {"34", "640x360"}}),
        watchPage("Nothing offered", {}),
    };
    int n = 0;
    for (const auto& page : pages) {
        const std::string id = "abcdefghij" + std::to_string(n++);
        site.addWatchPage(id, page);
        const auto run = runCli(site.proxyAddress(), "resolve 'http://www.youtube.com/watch?v=" + id + "'");
        EXPECT_EQ(run.status, 0) << page.title;
        EXPECT_EQ(run.out, cli::resolutionJson(site::makeWatchPage(page)) + "\n") << page.title;
    }
}

TEST(CliResolve, KnownFieldsOfOnePage) {
    const auto json = cli::resolutionJson(site::makeWatchPage(watchPage("Mid \"range\" C:\\clips", {{"35", "854x480"}, {"34", "640x360"}})));
    EXPECT_NE(json.find(R"("videoTitle": "Mid range C:\\clips")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("List1": ["no", "no", "35", "34", "no"])"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("enabled": [false, false, false, true, true])"), std::string::npos) << json;
    EXPECT_NE(json.find("\"best\": " + cli::jsonString(site::streamAddress("clip-35"))), std::string::npos) << json;
    const auto none = cli::resolutionJson("<html></html>");
    EXPECT_NE(none.find(R"("List2": [], "List4": ["no", "no", "no", "no", "no"])"), std::string::npos) << none;
    EXPECT_NE(none.find(R"("best": null)"), std::string::npos) << none;
}

TEST(CliResolve, AFailedFetchSaysWhyAndExitsWithOne) {
    site::FixtureSite site;
    const auto missing = runCli(site.proxyAddress(), "resolve http://www.youtube.com/watch?v=notthereatall");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("HTTP 404 Not Found"), std::string::npos) << missing.out;
    const auto usage = runCli(site.proxyAddress(), "frobnicate");
    EXPECT_EQ(usage.status, 2);
}
