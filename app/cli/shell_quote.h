#pragma once
// Command lines a POSIX shell reads back word for word: each word that holds anything but
// letters, digits and a few harmless marks goes in single quotes, where the shell expands
// nothing ($(...), backticks, $VAR, globs all stay text); a single quote inside is written
// as '\''.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::cli {

std::string posixShellWord(std::string_view word);
std::string posixCommandLine(const std::vector<std::string>& words);
// The words a POSIX shell reads out of `line` (blanks apart; single quotes, double quotes and
// backslashes as the shell takes them; nothing expanded), so `posixCommandLine` reads back to
// its words. None when a quote is left open or a backslash ends the line.
std::optional<std::vector<std::string>> splitPosixShellWords(std::string_view line);

}  // namespace zenvira::cli
