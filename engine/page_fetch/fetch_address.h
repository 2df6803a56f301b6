#pragma once
// Checking an address before any connection is made, so bad input gets a clear reason.
#include <string>
#include <string_view>

#include "engine/transfer/shown_text.h"

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

// The text shown for something a person typed or a server sent: one readable line.
using components::shownText;

}  // namespace zenvira::components::pagefetch
