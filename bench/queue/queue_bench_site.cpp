// Eight files for the queue to be measured on, served by the fixture site on 127.0.0.1:
//   zv-queue-bench-site
// Prints the port, then serves until SIGINT or SIGTERM:
//   /videoplayback?id=q0 ... id=q7   8 MiB each, every connection held to 4 MB/s from its
//                                    first byte, 40 ms before each answer
#include <string>

#include "bench/downloader/serve_until_signalled.h"

int main() {
    return zenvira::bench::serveUntilSignalled([](zenvira::site::FixtureSite& site) {
        constexpr std::uint64_t kSize = 8ull << 20;
        for (int k = 0; k < 8; ++k)
            site.addStream("q" + std::to_string(k), {.size = kSize,
                                                     .bytesPerSecond = 4'000'000,
                                                     .contentType = "video/mp4",
                                                     .answerDelay = std::chrono::milliseconds(40)});
    });
}
