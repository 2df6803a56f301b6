#pragma once
// How the main window reads a page: the real page fetch, or what a test points it at.
#include <functional>
#include <string>

#include "components/page_fetch/page_fetch.h"

namespace zenvira::app {

using PageReader = std::function<components::FetchResult(const std::string& address)>;

inline PageReader realPageReader(components::FetchOptions options = {}) {
    return [options](const std::string& address) { return components::PageFetch(options).FetchText(address); };
}

}  // namespace zenvira::app
