#pragma once
// A small libcurl client for checking what the fixture site sends.
#include <curl/curl.h>

#include <chrono>
#include <string>

namespace zenvira::site::testing {

struct Get {
    std::string address;
    std::string proxy;         // empty: straight to the address
    std::string range;         // "a-b" for a Range request
    std::string method = "GET";
    bool acceptGzip = false;   // let libcurl ask for and decode gzip
    std::chrono::milliseconds timeout{5000};
};

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;  // the raw head of the last response
    std::string body;
    double seconds = 0;   // from the request to the end of the body

    // A header's value (name matched without case), or empty.
    std::string header(const std::string& name) const;
};

Reply fetch(const Get& request);

// True when body holds the generated stream bytes from offset on.
bool matchesStreamBytes(const std::string& body, std::uint64_t offset);

}  // namespace zenvira::site::testing
