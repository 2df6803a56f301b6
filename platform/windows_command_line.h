#pragma once
// The arguments of a Windows command line, split the way Windows programs read it
// (CommandLineToArgvW): blanks and tabs separate arguments, double quotes group blanks into
// one argument, backslashes are literal unless they precede a double quote, where 2n of them
// give n and a quote that groups, 2n+1 give n and a literal quote.
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::platform {

// `arguments` is the text after the program's name (the program's name itself follows
// other rules and is not part of it).
std::vector<std::string> splitWindowsArguments(std::string_view arguments);

}  // namespace zenvira::platform
