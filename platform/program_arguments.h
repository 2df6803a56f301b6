#pragma once
// The arguments this program was started with, after its own name, in UTF-8. Windows hands
// main() its arguments in the ANSI code page, which loses every character outside it; the
// Windows backend reads the wide command line instead (D9).
#include <string>
#include <vector>

namespace zenvira::platform {

std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace zenvira::platform
