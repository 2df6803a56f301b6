#pragma once
// The head of an HTTP/1.1 response: status line, the usual Date and Server, then the
// headers in the order they were added.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zenvira::site::http {

std::string reasonPhrase(int status);

class ResponseHead {
public:
    explicit ResponseHead(int status);
    ResponseHead& add(std::string name, std::string value);
    ResponseHead& contentLength(std::uint64_t length);
    ResponseHead& closeConnection();
    std::string text() const;

private:
    int status_;
    std::vector<std::pair<std::string, std::string>> headers_;
};

// A short HTML body naming the status, as servers send with an error.
std::string statusPage(int status);

}  // namespace zenvira::site::http
