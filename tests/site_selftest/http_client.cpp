#include "tests/site_selftest/http_client.h"

#include <strings.h>

#include <memory>

#include "tests/site/fixture_site.h"

namespace zenvira::site::testing {

namespace {

std::size_t append(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

std::string Reply::header(const std::string& name) const {
    std::size_t start = 0;
    while (start < headers.size()) {
        const std::size_t end = headers.find("\r\n", start);
        const std::string line = headers.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return {};
}

Reply fetch(const Get& request) {
    Reply reply;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, request.address.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PROXY, request.proxy.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, append);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &reply.headers);
    if (!request.range.empty()) curl_easy_setopt(curl.get(), CURLOPT_RANGE, request.range.c_str());
    if (request.method == "HEAD") curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    if (request.acceptGzip) curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "gzip");
    reply.code = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &reply.status);
    curl_off_t micros = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_TOTAL_TIME_T, &micros);
    reply.seconds = static_cast<double>(micros) / 1e6;
    // Keep only the last head (a 100 Continue or a redirect may come first).
    const std::size_t last = reply.headers.rfind("HTTP/", reply.headers.size() > 4 ? reply.headers.size() - 4 : 0);
    if (last != std::string::npos) reply.headers.erase(0, last);
    return reply;
}

bool matchesStreamBytes(const std::string& body, std::uint64_t offset) {
    for (std::size_t i = 0; i < body.size(); ++i)
        if (static_cast<std::uint8_t>(body[i]) != streamByte(offset + i)) return false;
    return true;
}

}  // namespace zenvira::site::testing
