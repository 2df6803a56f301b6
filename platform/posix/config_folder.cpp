#include "platform/config_folder.h"

#include <cstdlib>

namespace zenvira::platform {

std::string userConfigFolder() {
    // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    return {};
}

std::string userDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share";
    return {};
}

}  // namespace zenvira::platform
