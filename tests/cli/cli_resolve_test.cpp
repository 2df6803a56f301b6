// zenvira-cli resolve, run as a user runs it: a separate process that reaches the fixture
// site through http_proxy with the video site's own addresses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/cli/json_writer.h"
#include "app/cli/printable_text.h"
#include "app/cli/resolve_command.h"
#include "tests/site/fixture_site.h"
#include "tests/support/run_command.h"

using namespace zenvira;

namespace {

using test::RunResult;

// Runs the CLI with the proxy set; stderr is folded into the output after a marker.
RunResult runCli(const std::string& proxy, const std::string& args) {
    return test::runCommand("http_proxy=" + proxy + " " ZENVIRA_CLI " " + args + " 2>&1");
}

site::WatchPageShape watchPage(const std::string& title, std::initializer_list<std::pair<const char*, const char*>> formats) {
    site::WatchPageShape page{title, {}};
    for (const auto& [code, size] : formats)
        page.formats.push_back({code, size, site::streamAddress(std::string("clip-") + code)});
    return page;
}

}  // namespace

TEST(CliResolve, PrintsTheResolutionOfWhatTheSiteServes) {
    site::FixtureSite site;
    const site::WatchPageShape pages[] = {
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
    // A title with C1 controls and a byte that is no UTF-8 comes out escaped and replaced.
    const auto outside =
        cli::resolutionJson(site::makeWatchPage(watchPage("CSI \xC2\x9B"
                                                          "2J DCS \xC2\x90 bad \xFF end",
                                                          {{"34", "640x360"}})));
    EXPECT_NE(outside.find(R"("videoTitle": "CSI \u009b2J DCS \u0090 bad )"
                           "\xEF\xBF\xBD"
                           R"( end")"),
              std::string::npos)
        << outside;
}

// Whatever bytes come from outside, every line the command line prints is valid UTF-8 and
// holds no control character: JSON escapes them, a terminal line shows '?'.
TEST(CliOutput, OutsideTextPrintsAsValidUtf8WithoutControls) {
    struct Case {
        std::string in, json, line;
    };
    const Case cases[] = {
        {"plain \xC3\xA9t\xC3\xA9", "\"plain \xC3\xA9t\xC3\xA9\"", "plain \xC3\xA9t\xC3\xA9"},
        {"csi \xC2\x9B"
         "2J",
         "\"csi \\u009b2J\"", "csi ?2J"},
        {"esc \x1B[31m del \x7F", "\"esc \\u001b[31m del \\u007f\"", "esc ?[31m del ?"},
        {"tab\tline\n", "\"tab\\tline\\n\"", "tab?line?"},
        {"cut \xE2\x82", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\"", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong \xC0\xAF surrogate \xED\xA0\x80",
         "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"",
         "overlong \xEF\xBF\xBD\xEF\xBF\xBD surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"latin1 caf\xE9 \xF0\x9F\x8E\xA5", "\"latin1 caf\xEF\xBF\xBD \xF0\x9F\x8E\xA5\"",
         "latin1 caf\xEF\xBF\xBD \xF0\x9F\x8E\xA5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::jsonString(c.in), c.json) << c.in;
        EXPECT_EQ(cli::printableLine(c.in), c.line) << c.in;
    }
}

TEST(CliResolve, AFailedFetchSaysWhyAndExitsWithOne) {
    site::FixtureSite site;
    const auto missing = runCli(site.proxyAddress(), "resolve http://www.youtube.com/watch?v=notthereatall");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("HTTP 404 Not Found"), std::string::npos) << missing.out;
    const auto usage = runCli(site.proxyAddress(), "frobnicate");
    EXPECT_EQ(usage.status, 2);
}

// Ctrl-C while the page is still awaited ends the command at once, not when the server answers.
TEST(CliDownload, CtrlCEndsAPageReadAtOnce) {
    site::FixtureSite site;
    site::FixedResponse slow;
    slow.body = site::makeWatchPage(watchPage("Slow", {{"34", "640x360"}}));
    slow.delay = std::chrono::milliseconds(10000);
    site.addFixed("/watch?v=slowPage003", slow);
    char folder[] = "/tmp/zenvira-cli-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("http_proxy", site.proxyAddress().c_str(), 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(ZENVIRA_CLI, ZENVIRA_CLI, "download", "http://www.youtube.com/watch?v=slowPage003", "-o", folder,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto interrupted = std::chrono::steady_clock::now();
    kill(child, SIGINT);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - interrupted < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_EQ(ended, child);
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(2));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::filesystem::remove_all(folder);
}
