// The link shapes the downloader is measured on, served by the fixture site on 127.0.0.1:
//   zv-bench-site
// Prints the port, then serves until SIGINT or SIGTERM:
//   /videoplayback?id=capped  32 MiB, every connection held to 4 MB/s from its first byte,
//                             40 ms before each answer
//   /videoplayback?id=mixed   32 MiB, every other connection to the site 0.5 MB/s, the rest 8 MB/s
// Unlike nginx's limit_rate, the cap is steady from the first byte: no burst at the start of
// each request that would reward many small requests.
#include "bench/downloader/serve_until_signalled.h"

int main() {
    return zenvira::bench::serveUntilSignalled([](zenvira::site::FixtureSite& site) {
        constexpr std::uint64_t kSize = 32ull << 20;
        site.addStream("capped",
                       {.size = kSize, .bytesPerSecond = 4'000'000, .answerDelay = std::chrono::milliseconds(40)});
        site.addStream("mixed",
                       {.size = kSize, .bytesPerSecond = 8'000'000, .slowEvery = 2, .slowBytesPerSecond = 500'000});
    });
}
