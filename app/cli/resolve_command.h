#pragma once
#include <string>

#include "resolve/resolver.h"

namespace zenvira::cli {

// A page's resolution as the JSON object `zenvira-cli resolve` prints: the hidden lists and
// buttons as the window sees them, which resolver read the page, and every stream found.
std::string resolutionJson(const resolve::Resolution& resolution);
// The same for a page's text alone (nothing else is fetched).
std::string resolutionJson(const std::string& pageText);

// zenvira-cli resolve ADDRESS: fetches the page and prints its resolution; 1 when the fetch fails.
int runResolve(const std::string& address);

}  // namespace zenvira::cli
