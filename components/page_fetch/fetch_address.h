#pragma once
// Checking an address before any connection is made, so bad input gets a clear reason.
#include <string>
#include <string_view>

namespace zenvira::components::pagefetch {

struct CheckedAddress {
    bool ok = false;
    std::string url;    // the normalized address to fetch (a missing scheme becomes http)
    std::string host;   // for messages
    std::string error;  // one line when not ok
};

CheckedAddress checkAddress(const std::string& address);

// The host part of an address, or empty when it has none.
std::string hostOf(const std::string& url);

// The text shown for something a person typed: control characters made visible and long
// text cut, so a message stays one readable line.
std::string shownText(std::string_view text);

}  // namespace zenvira::components::pagefetch
