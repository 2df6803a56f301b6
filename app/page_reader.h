#pragma once
// How the main window reads a page: the real page fetch, or what a test points it at. The
// read may run on a worker thread; `cancel`, when given, ends it at once from another thread.
#include <functional>
#include <string>

#include "engine/page_fetch/page_fetch.h"

namespace zenvira::app {

using PageReader = std::function<components::FetchResult(const std::string& address, components::CancelToken* cancel)>;

// A page address may turn out to be a video file: only its first bytes are read then, and
// the answer is parked for the download of that address to go on with.
inline components::FetchOptions pageOptions() {
    components::FetchOptions options;
    options.mediaPrefixBytes = 256 * 1024;
    options.parkMedia = true;
    return options;
}

inline PageReader realPageReader(components::FetchOptions options = pageOptions()) {
    return [options](const std::string& address, components::CancelToken* cancel) {
        return components::PageFetch(options).FetchText(address, cancel);
    };
}

}  // namespace zenvira::app
