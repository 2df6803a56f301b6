// Resolution of a 2 MB watch page: both resolvers and the title, on the page shape the
// fixture site makes (markers in the middle of ~2 MB of markup and script).
#include <benchmark/benchmark.h>

#include "resolve/page_resolver.h"
#include "tests/site/fixture_site.h"

namespace {

const std::string& bigPage() {
    static const std::string page = [] {
        zenvira::site::WatchPageSpec watch;
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

}  // namespace

BENCHMARK_MAIN();
