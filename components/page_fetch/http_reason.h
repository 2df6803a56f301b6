#pragma once
// Standard reason phrases, for servers (and HTTP/2) that send a status without one.
#include <string_view>

namespace zenvira::components::pagefetch {

// "Not Found" for 404; empty for a status without a registered phrase.
std::string_view standardReason(long status);

}  // namespace zenvira::components::pagefetch
