// Resolution of a 2 MB watch page: both resolvers and the title, on the page shape the
// fixture site makes (markers in the middle of ~2 MB of markup and script).
#include <benchmark/benchmark.h>

#include "resolve/page_resolver.h"
#include "resolve/resolver.h"
#include "tests/site/fixture_site.h"
#include "tests/site/today_pages.h"

namespace {

const std::string& bigPage() {
    static const std::string page = [] {
        zenvira::site::WatchPageShape watch;
        watch.title = "Benchmark clip";
        watch.fillerBytes = 2 * 1024 * 1024;
        for (const auto& [code, size] : {std::pair{"37", "1920x1080"}, {"22", "1280x720"}, {"35", "854x480"},
                                         {"34", "640x360"}, {"5", "320x240"}})
            watch.formats.push_back({code, size, zenvira::site::streamAddress(std::string("s") + code)});
        return zenvira::site::makeWatchPage(watch);
    }();
    return page;
}

void ResolvePage2MB(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(zenvira::resolve::resolvePage(bigPage()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bigPage().size()));
}
BENCHMARK(ResolvePage2MB)->Unit(benchmark::kMillisecond);

void ResolveBestAddress2MB(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(zenvira::resolve::resolveBestAddress(bigPage()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bigPage().size()));
}
BENCHMARK(ResolveBestAddress2MB)->Unit(benchmark::kMillisecond);

// Worst case: every search runs to the end of the page without a hit.
void ResolvePageWithoutMarkers2MB(benchmark::State& state) {
    static const std::string page = std::string(2 * 1024 * 1024, 'x') + "<meta content=\"late\">";
    for (auto _ : state) benchmark::DoNotOptimize(zenvira::resolve::resolvePage(page));
}
BENCHMARK(ResolvePageWithoutMarkers2MB)->Unit(benchmark::kMillisecond);

// A 2 MiB page of today's shape (a <video> with labelled sources among 2 MiB of cards,
// scripts and comments) through both resolvers in their order: the watch-page one finds
// nothing, the generic one reads the page. Nothing else is fetched: every source has its height.
void ResolveTodayPage2MB(benchmark::State& state) {
    static const std::string page = [] {
        std::string text = zenvira::site::videoSourcesPage(
            "Benchmark clip", {{"/media/a_720p.mp4", "video/mp4", "label", "720p"},
                               {"/media/a-360.webm", "video/webm", "data-quality", "360p"},
                               {"https://cdn.example.com/low.mp4", "video/mp4", "size", "240"}});
        const auto body = text.find("<body>") + 6;
        text.insert(body, zenvira::site::todayFiller(2 * 1024 * 1024, 9));
        return text;
    }();
    zenvira::components::FetchResult fetched;
    fetched.ok = true;
    fetched.text = page;
    const auto nothing = [](const std::string&) { return zenvira::components::FetchResult{}; };
    for (auto _ : state)
        benchmark::DoNotOptimize(zenvira::resolve::resolveFetchedPage("http://www.example.com/clips/a", fetched, nothing));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(ResolveTodayPage2MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
