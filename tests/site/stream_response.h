#pragma once
// Answering one request for a stream: Range and HEAD, and the misbehaviours tests ask for
// (pacing, dropped connections, wrong or missing lengths, error statuses).
#include <functional>

#include "tests/site/connection.h"
#include "tests/site/fixture_site.h"
#include "tests/site/http_request.h"
#include "tests/site/stop_signal.h"

namespace zenvira::site {

// takeDrop is asked once, just before a body is sent, whether this response is one of those
// that must be cut short. Returns whether the connection can serve another request.
bool answerStream(Connection& connection, const http::Request& request, const StreamSpec& stream,
                  const std::function<bool()>& takeDrop, StopSignal& stop);

}  // namespace zenvira::site
