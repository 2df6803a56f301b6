// What the native host does after an addition: shows the Downloads window. It starts
// `zenvira --downloads` beside itself, detached and without a shell; a Zenvira that already
// runs is handed that by the new one, which ends at once, and shows its own window.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "app/cli/native_host.h"
#include "platform/application_folder.h"
#include "platform/detached_start.h"

namespace zenvira::cli {

bool guiStartWanted() {
    const char* refused = std::getenv("ZENVIRA_NO_GUI_START");
    return refused == nullptr || *refused == '\0' || std::string_view(refused) == "0";
}

void showDownloadsWindow() {
    if (!guiStartWanted()) return;
    const std::string program = platform::pathInApplicationFolder("zenvira");
    std::error_code error;
    if (!std::filesystem::is_regular_file(program, error)) {
        std::cerr << "zenvira-cli native-host: no Zenvira to show the Downloads window (" << program << ")\n";
        return;
    }
    // The entry is in the queue whatever happens here; the browser's log keeps the reason.
    if (std::string reason; !platform::startDetached(program, {"--downloads"}, reason))
        std::cerr << "zenvira-cli native-host: " << reason << '\n';
}

}  // namespace zenvira::cli
