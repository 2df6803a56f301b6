#include "platform/config_folder.h"

#include <cstdlib>

namespace zenvira::platform {

std::string userConfigFolder() {
    const char* appData = std::getenv("APPDATA");
    return appData ? std::string(appData) : std::string();
}

std::string userDataFolder() {
    const char* localAppData = std::getenv("LOCALAPPDATA");
    return localAppData ? std::string(localAppData) : std::string();
}

}  // namespace zenvira::platform
