#include "engine/page_fetch/fetch_address.h"

#include <curl/curl.h>

#include <memory>

#include "base/text_ops.h"

namespace zenvira::components::pagefetch {
namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string part(CURLU* url, CURLUPart which) {
    char* value = nullptr;
    if (curl_url_get(url, which, &value, 0) != CURLUE_OK || value == nullptr) return {};
    std::string out(value);
    curl_free(value);
    return out;
}

}  // namespace

std::string hostOf(const std::string& url) {
    UrlHandle handle(curl_url());
    if (!handle) return {};
    if (curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK)
        return {};
    return part(handle.get(), CURLUPART_HOST);
}

CheckedAddress checkAddress(const std::string& address) {
    CheckedAddress checked;
    if (text::trimBlanks(address).empty()) {
        checked.error = "No address given";
        return checked;
    }
    UrlHandle handle(curl_url());
    if (!handle) {
        checked.error = "Out of memory";
        return checked;
    }
    const auto rc =
        curl_url_set(handle.get(), CURLUPART_URL, address.c_str(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME);
    if (rc != CURLUE_OK) {
        checked.error = "Not a valid address: " + shownText(address);
        return checked;
    }
    const std::string scheme = text::lowerAscii(part(handle.get(), CURLUPART_SCHEME));
    if (scheme != "http" && scheme != "https") {
        checked.error = "Only http and https addresses can be fetched, not " + shownText(scheme) + ": " +
                        shownText(address);
        return checked;
    }
    checked.host = part(handle.get(), CURLUPART_HOST);
    checked.url = part(handle.get(), CURLUPART_URL);
    if (checked.host.empty() || checked.url.empty()) {
        checked.error = "Not a valid address: " + shownText(address);
        return checked;
    }
    checked.ok = true;
    return checked;
}

}  // namespace zenvira::components::pagefetch
