#include "tests/site/http_response.h"

#include <ctime>

namespace zenvira::site::http {

namespace {

std::string httpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

}  // namespace

std::string reasonPhrase(int status) {
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 410: return "Gone";
    case 416: return "Range Not Satisfiable";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status " + std::to_string(status);
    }
}

ResponseHead::ResponseHead(int status) : status_(status) {}

ResponseHead& ResponseHead::add(std::string name, std::string value) {
    headers_.emplace_back(std::move(name), std::move(value));
    return *this;
}

ResponseHead& ResponseHead::contentLength(std::uint64_t length) {
    return add("Content-Length", std::to_string(length));
}

ResponseHead& ResponseHead::closeConnection() { return add("Connection", "close"); }

std::string ResponseHead::text() const {
    std::string out = "HTTP/1.1 " + std::to_string(status_) + " " + reasonPhrase(status_) + "\r\n";
    out += "Date: " + httpDate() + "\r\n";
    out += "Server: zenvira-fixture-site\r\n";
    for (const auto& [name, value] : headers_) out += name + ": " + value + "\r\n";
    out += "\r\n";
    return out;
}

std::string statusPage(int status) {
    const std::string line = std::to_string(status) + " " + reasonPhrase(status);
    return "<html><head><title>" + line + "</title></head><body><h1>" + line + "</h1></body></html>\n";
}

}  // namespace zenvira::site::http
