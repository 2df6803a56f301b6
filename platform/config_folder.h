#pragma once
// The folder where a user's programs keep their settings: $XDG_CONFIG_HOME, else
// $HOME/.config on POSIX; %APPDATA% on Windows. Empty when the system cannot tell.
#include <string>

namespace zenvira::platform {

std::string userConfigFolder();

// The folder where a user's programs keep their data: $XDG_DATA_HOME, else
// $HOME/.local/share on POSIX; %LOCALAPPDATA% on Windows. Empty when the system cannot tell.
std::string userDataFolder();

}  // namespace zenvira::platform
