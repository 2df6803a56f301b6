// FetchText against the curl command-line tool: the same 2 MiB watch page, the same proxy,
// no compression for either, interleaved rounds. curl's own time_total is used so that its
// process start is not counted against it.
//
// The fixture site runs in a child process, so that its allocations neither count in our
// memory figures nor depend on how our allocator was left by the fetch before.
//
//   bench_page_fetch [rounds]      (default 30)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/page_fetch/page_fetch.h"
#include "tests/site/fixture_site.h"

namespace {

using zenvira::components::FetchOptions;
using zenvira::components::PageFetch;

constexpr const char* kAddress = "http://www.youtube.com/watch?v=benchmark01";
constexpr const char* kSmallAddress = "http://www.youtube.com/watch?v=small";

std::string makeBigPage() {
    zenvira::site::WatchPageShape watch;
    watch.title = "Benchmark clip";
    watch.fillerBytes = 2 * 1024 * 1024;
    for (const auto& [code, size] : {std::pair{"37", "1920x1080"}, {"22", "1280x720"}, {"34", "640x360"}})
        watch.formats.push_back({code, size, zenvira::site::streamAddress(std::string("s") + code)});
    return zenvira::site::makeWatchPage(watch);
}

// The site in a child process: it serves until the parent closes its end of `stay`.
struct SiteProcess {
    pid_t pid = -1;
    int stayOpen = -1;
    std::string proxyAddress;
};

[[noreturn]] void serveInChild(const std::string& page, int portOut, int stayIn) {
    {
        zenvira::site::FixtureSite site;
        site.addWatchPageText("benchmark01", page);
        site.addWatchPageText("small", "<html></html>");
        const auto port = site.port();
        if (write(portOut, &port, sizeof port) != sizeof port) _exit(1);
        char ignored;
        while (read(stayIn, &ignored, 1) > 0) {
        }
    }
    _exit(0);
}

SiteProcess startSite(const std::string& page) {
    int portPipe[2], stayPipe[2];
    if (pipe(portPipe) != 0 || pipe(stayPipe) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(portPipe[0]);
        close(stayPipe[1]);
        serveInChild(page, portPipe[1], stayPipe[0]);
    }
    close(portPipe[1]);
    close(stayPipe[0]);
    SiteProcess site{pid, stayPipe[1], {}};
    std::uint16_t port = 0;
    if (pid > 0 && read(portPipe[0], &port, sizeof port) == sizeof port)
        site.proxyAddress = "http://127.0.0.1:" + std::to_string(port);
    close(portPipe[0]);
    return site;
}

void stopSite(const SiteProcess& site) {
    close(site.stayOpen);
    if (site.pid > 0) waitpid(site.pid, nullptr, 0);
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Milliseconds for one FetchText, or a negative value when the page did not arrive whole.
double timeFetchText(const PageFetch& fetcher, std::size_t expectedSize) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = fetcher.FetchText(kAddress);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (!result.ok || result.text.size() != expectedSize) {
        std::fprintf(stderr, "FetchText failed: %s (%zu bytes)\n", result.error.c_str(), result.text.size());
        return -1;
    }
    return took.count();
}

// Milliseconds curl reports for the transfer itself, or a negative value on failure.
double timeCurl(std::size_t expectedSize) {
    const std::string command =
        std::string("curl -s -o /dev/null -w '%{time_total} %{size_download}' '") + kAddress + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    double seconds = -1;
    unsigned long long bytes = 0;
    const int fields = std::fscanf(pipe, "%lf %llu", &seconds, &bytes);
    const int status = pclose(pipe);
    if (fields != 2 || status != 0 || bytes != expectedSize) {
        std::fprintf(stderr, "curl failed (status %d, %llu bytes)\n", status, bytes);
        return -1;
    }
    return seconds * 1000.0;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

void printRow(const char* name, const std::vector<double>& ms) {
    std::printf("%-10s  median %7.2f ms   min %7.2f ms   p90 %7.2f ms\n", name, percentile(ms, 0.5),
                percentile(ms, 0.0), percentile(ms, 0.9));
}

struct Timings {
    std::vector<double> ours, curl;
};

bool runRounds(const PageFetch& fetcher, std::size_t pageSize, int rounds, Timings& timings) {
    for (int round = 0; round < rounds; ++round) {
        // Alternate who goes first so neither always meets a warmer or colder server.
        const bool oursFirst = round % 2 == 0;
        const double a = oursFirst ? timeFetchText(fetcher, pageSize) : timeCurl(pageSize);
        const double b = oursFirst ? timeCurl(pageSize) : timeFetchText(fetcher, pageSize);
        if (a < 0 || b < 0) return false;
        timings.ours.push_back(oursFirst ? a : b);
        timings.curl.push_back(oursFirst ? b : a);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const std::string page = makeBigPage();
    const SiteProcess site = startSite(page);  // before any thread of ours exists
    if (site.proxyAddress.empty()) {
        std::fprintf(stderr, "the fixture site did not start\n");
        return 1;
    }
    // Both clients read the same proxy setting from the environment.
    setenv("http_proxy", site.proxyAddress.c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");

    FetchOptions options;
    options.acceptCompressed = false;  // curl runs without --compressed
    const PageFetch fetcher(options);
    fetcher.FetchText(kSmallAddress);  // libcurl's and OpenSSL's one-time setup is not counted
    const long residentBefore = peakResidentKiB();
    const bool firstOk = timeFetchText(fetcher, page.size()) >= 0;
    const long residentAfterOne = peakResidentKiB();
    Timings timings;
    const bool ok = firstOk && timeCurl(page.size()) >= 0 && runRounds(fetcher, page.size(), rounds, timings);
    stopSite(site);
    if (!ok) return 1;

    std::printf("%zu-byte watch page through http_proxy=%s, %d rounds\n", page.size(), site.proxyAddress.c_str(),
                rounds);
    printRow("FetchText", timings.ours);
    printRow("curl", timings.curl);
    std::printf("ratio FetchText/curl (medians): %.2f\n",
                percentile(timings.ours, 0.5) / percentile(timings.curl, 0.5));
    std::printf("peak resident growth: +%ld KiB for the first fetch, +%ld KiB after all rounds (page %zu KiB)\n",
                residentAfterOne - residentBefore, peakResidentKiB() - residentBefore, page.size() / 1024);
    return 0;
}
