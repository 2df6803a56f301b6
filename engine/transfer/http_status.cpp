#include "engine/transfer/http_status.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zenvira::components {
namespace {

constexpr std::array<std::pair<long, std::string_view>, 43> kReasons = {{
    {100, "Continue"}, {101, "Switching Protocols"}, {200, "OK"}, {201, "Created"}, {202, "Accepted"},
    {203, "Non-Authoritative Information"}, {204, "No Content"}, {205, "Reset Content"},
    {206, "Partial Content"}, {300, "Multiple Choices"}, {301, "Moved Permanently"}, {302, "Found"},
    {303, "See Other"}, {304, "Not Modified"}, {307, "Temporary Redirect"}, {308, "Permanent Redirect"},
    {400, "Bad Request"}, {401, "Unauthorized"}, {402, "Payment Required"}, {403, "Forbidden"},
    {404, "Not Found"}, {405, "Method Not Allowed"}, {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"}, {408, "Request Timeout"}, {409, "Conflict"}, {410, "Gone"},
    {411, "Length Required"}, {412, "Precondition Failed"}, {413, "Content Too Large"},
    {414, "URI Too Long"}, {415, "Unsupported Media Type"}, {416, "Range Not Satisfiable"},
    {421, "Misdirected Request"}, {429, "Too Many Requests"}, {451, "Unavailable For Legal Reasons"},
    {500, "Internal Server Error"}, {501, "Not Implemented"}, {502, "Bad Gateway"},
    {503, "Service Unavailable"}, {504, "Gateway Timeout"}, {505, "HTTP Version Not Supported"},
    {511, "Network Authentication Required"},
}};

}  // namespace

std::string_view standardReason(long status) {
    const auto hit = std::find_if(kReasons.begin(), kReasons.end(), [status](const auto& entry) { return entry.first == status; });
    return hit == kReasons.end() ? std::string_view() : hit->second;
}

std::string httpStatusText(long status, std::string_view reason) {
    const auto first = reason.find_first_not_of(" \t\r\n");
    const auto last = reason.find_last_not_of(" \t\r\n");
    std::string phrase = first == std::string_view::npos ? std::string() : std::string(reason.substr(first, last - first + 1));
    if (phrase.empty()) phrase = std::string(standardReason(status));
    return "HTTP " + std::to_string(status) + (phrase.empty() ? "" : " " + phrase);
}

}  // namespace zenvira::components
