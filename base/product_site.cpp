#include "base/product_site.h"

#include <cstdlib>

namespace zenvira::base {

std::string productSiteHost() {
    const char* host = std::getenv("ZENVIRA_SITE_HOST");
    return host && *host ? host : "www.zenvira.net";
}

std::string productHomeAddress() { return "https://" + productSiteHost() + "/"; }

std::string updatePageAddress() { return "https://" + productSiteHost() + "/listurl.html"; }

std::string ownershipNotice() { return "\xC2\xA9 Zenvira \xE2\x80\x94 " + productSiteHost(); }

}  // namespace zenvira::base
