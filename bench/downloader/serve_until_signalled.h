#pragma once
// The body of a bench site: the fixture site on 127.0.0.1 with the streams `publish` adds,
// its port printed, served until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>

#include "tests/site/fixture_site.h"

namespace zenvira::bench {

template <typename Publish>
int serveUntilSignalled(Publish publish) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the site's threads inherit the mask

    site::FixtureSite site;
    publish(site);
    std::printf("%u\n", static_cast<unsigned>(site.port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}

}  // namespace zenvira::bench
