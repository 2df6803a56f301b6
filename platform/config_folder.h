#pragma once
// The folder where a user's programs keep their settings: $XDG_CONFIG_HOME, else
// $HOME/.config on POSIX; %APPDATA% on Windows. Empty when the system cannot tell.
#include <string>

namespace zenvira::platform {

std::string userConfigFolder();

}  // namespace zenvira::platform
