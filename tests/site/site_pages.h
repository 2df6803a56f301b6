#pragma once
// Pages the site serves besides watch pages and streams.
#include <string>

namespace zenvira::site {

// The product site's update page: a few DIVs, one of them <div id="mver">VERSION</div>.
std::string updatePageText(const std::string& version);

}  // namespace zenvira::site
