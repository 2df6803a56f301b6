#pragma once
// What a download job fetches for a stream a resolver found: its kind and container go with
// it, and the sound it is joined with when that comes apart. The main window and the queue
// ask for a stream the same way.
#include <vector>

#include "engine/request/download_request.h"
#include "resolve/resolver.h"

namespace zenvira::app {

std::vector<components::Track> tracksOf(const resolve::Stream& stream);

}  // namespace zenvira::app
