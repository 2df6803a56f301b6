#pragma once
// Command lines a POSIX shell reads back word for word: each word that holds anything but
// letters, digits and a few harmless marks goes in single quotes, where the shell expands
// nothing ($(...), backticks, $VAR, globs all stay text); a single quote inside is written
// as '\''.
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::cli {

std::string posixShellWord(std::string_view word);
std::string posixCommandLine(const std::vector<std::string>& words);

}  // namespace zenvira::cli
