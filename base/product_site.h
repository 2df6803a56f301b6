#pragma once
// The product's own web site and version: one host for the update page, the home address and
// the ownership notice. ZENVIRA_SITE_HOST replaces the host (tests, the demo).
#include <string>

namespace zenvira::base {

constexpr double appVersion = 2.5;

std::string productSiteHost();       // "www.zenvira.net" unless replaced
std::string productHomeAddress();    // "https://HOST/"
std::string updatePageAddress();     // "https://HOST/listurl.html"
std::string ownershipNotice();       // names the host, so a click on it opens the site
// The encoder archive; its SHA-256 is published beside it, at the same address + ".sha256".
inline std::string encoderDownloadAddress() { return "https://" + productSiteHost() + "/files/avformat.zip"; }

// The video site's watch marker: an address holding it is a watch-page address.
inline const std::string kWatchMarker = "youtube.com/watch";

}  // namespace zenvira::base
