#pragma once
#include <string>

namespace zenvira::app {

// Removes the nine characters a file name cannot hold, one after the other; everything
// else, blanks, dots and "<" ">" included, stays.
std::string sanitiseTitle(const std::string& title);

// The downloader's LocalFileName for a sanitised title: a backslash, the title, ".flv".
std::string localFileName(const std::string& sanitisedTitle);

inline const std::string kLocalFolder = "c:\\";

}  // namespace zenvira::app
