#include "platform/temp_folder.h"

#include <cstdlib>

namespace zenvira::platform {

std::string temporaryFolder() {
    // $TMPDIR when it names an absolute folder, as every POSIX tool reads it; else /tmp.
    const char* chosen = std::getenv("TMPDIR");
    std::string folder = chosen && chosen[0] == '/' ? chosen : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace zenvira::platform
