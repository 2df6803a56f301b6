#pragma once
// The short form of a path, as a command line can hold it without quotes. Windows: the 8.3
// form of every part (a path of any length). POSIX has no short names: the path itself when
// it names an existing file. Empty when the path does not exist.
#include <string>

namespace zenvira::platform {

std::string shortPath(const std::string& path);

}  // namespace zenvira::platform
