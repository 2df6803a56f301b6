#pragma once
#include <string>

namespace zenvira::app {

// Removes the nine characters a file name cannot hold, one after the other, and control
// characters (U+0000-U+001F, U+007F-U+009F), which no file name, caption or terminal should
// get; everything else, blanks, dots and "<" ">" included, stays.
std::string sanitiseTitle(const std::string& title);

// The video's id in a watch-page address (its v= parameter), or "": the file's name when
// the title leaves none.
std::string videoIdOf(const std::string& pageAddress);

// The downloader's LocalFileName for a sanitised title: a backslash, the title, a dot and the
// extension (".flv" for watch pages; a generic page's stream keeps its own container).
std::string localFileName(const std::string& sanitisedTitle, const std::string& extension = "flv");

inline const std::string kLocalFolder = "c:\\";

}  // namespace zenvira::app
