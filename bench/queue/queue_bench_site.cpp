// Eight files for the queue to be measured on, served by the fixture site on 127.0.0.1:
//   zv-queue-bench-site
// Prints the port, then serves until SIGINT or SIGTERM:
//   /videoplayback?id=q0 ... id=q7   8 MiB each, every connection held to 4 MB/s from its
//                                    first byte, 40 ms before each answer
#include <signal.h>

#include <cstdio>
#include <string>

#include "tests/site/fixture_site.h"

int main() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the site's threads inherit the mask

    constexpr std::uint64_t kSize = 8ull << 20;
    zenvira::site::FixtureSite site;
    for (int k = 0; k < 8; ++k)
        site.addStream("q" + std::to_string(k), {.size = kSize, .bytesPerSecond = 4'000'000,
                                                 .contentType = "video/mp4", .answerDelay = std::chrono::milliseconds(40)});
    std::printf("%u\n", static_cast<unsigned>(site.port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
