#pragma once
#include <string>

namespace zenvira::cli {

// The resolution of one watch page as the JSON object `zenvira-cli resolve` prints.
std::string resolutionJson(const std::string& pageText);

// zenvira-cli resolve ADDRESS: fetches the page and prints its resolution; 1 when the fetch fails.
int runResolve(const std::string& address);

}  // namespace zenvira::cli
