#pragma once
// HTTP statuses as a person reads them, with the standard reason phrase for servers (and
// HTTP/2) that send a status without one.
#include <string>
#include <string_view>

namespace zenvira::components {

// "Not Found" for 404; empty for a status without a registered phrase.
std::string_view standardReason(long status);

// "HTTP 404 Not Found": the server's own phrase when it sent one, else the standard one.
std::string httpStatusText(long status, std::string_view reason);

}  // namespace zenvira::components
