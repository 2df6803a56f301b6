#pragma once
// Whole small text files, as the association keeps them: read at once, and replaced in one
// step (a neighbour file renamed over it) so a desktop never reads half a file.
#include <string>

namespace zenvira::player {

enum class TextFileRead { Read, Missing, Failed };

// Paths are UTF-8. On Failed, `error` says why.
TextFileRead readTextFile(const std::string& path, std::string& text, std::string& error);

// Writes `text` unless the file already holds exactly that; creates missing folders. A
// symbolic link is followed, so a linked file stays linked. `changed` tells whether it wrote.
bool writeTextFile(const std::string& path, const std::string& text, bool& changed, std::string& error);

}  // namespace zenvira::player
