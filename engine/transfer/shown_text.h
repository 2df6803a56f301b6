#pragma once
// Text that came from outside (an address, a server's words) made fit for one line of a
// message, a status bar or a terminal.
#include <string>
#include <string_view>

namespace zenvira::components {

// Control characters (U+0000-U+001F, U+007F-U+009F) become '?', so none reaches a terminal;
// text longer than 120 bytes is cut on a character boundary and ends in "...".
std::string shownText(std::string_view text);

}  // namespace zenvira::components
