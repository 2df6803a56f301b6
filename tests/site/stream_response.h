#pragma once
// Answering one request for a stream: Range and HEAD, and the misbehaviours tests ask for
// (pacing, dropped connections, wrong or missing lengths, error statuses).
#include <functional>

#include "tests/site/connection.h"
#include "tests/site/fixture_site.h"
#include "tests/site/http_request.h"
#include "tests/site/stop_signal.h"

namespace zenvira::site {

// What the site keeps per stream over all answers.
struct StreamHooks {
    // Asked once, just before a body is sent: whether this answer is one to cut short.
    std::function<bool()> takeDrop;
    // Asked once per request: whether it gets the busy answer.
    std::function<bool()> takeBusy;
    // Whether the address still works; told of every piece of body sent (false: cut now).
    std::function<bool()> expired;
    std::function<bool(std::uint64_t bytes)> sent;
    std::uint64_t connectionSerial = 0;  // 1 for the site's first connection, and so on
};

// Returns whether the connection can serve another request.
bool answerStream(Connection& connection, const http::Request& request, const StreamShape& stream,
                  const StreamHooks& hooks, StopSignal& stop);

}  // namespace zenvira::site
