#pragma once
// The folder the system offers for temporary files.
#include <string>

namespace zenvira::platform {

// The folder ending with this system's separator, as the system reports it ("/tmp/",
// "C:\Users\me\AppData\Local\Temp\"); empty when the system cannot tell.
std::string temporaryFolder();

}  // namespace zenvira::platform
