#pragma once
// The process's argument text: its command line without the program's own path and the
// blanks after it. The player window plays that text as one path, so an unquoted path with
// blanks, as the file association's open command passes it on Windows, arrives whole.
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::player {

// The part of `argumentText` after the first occurrence of `key` (exact comparison), to its
// end; empty when `key` does not occur. The empty key matches at the start of any non-empty
// text, so CommandArgument(text, "") is the whole text. Nothing is trimmed or unquoted.
std::string CommandArgument(std::string_view argumentText, std::string_view key);

// The argument text made of a program's arguments (`arguments[0]` being the program): the
// rest joined by single blanks.
std::string argumentTextOf(const std::vector<std::string>& arguments);

// This process's argument text, from QCoreApplication::arguments().
//
// On POSIX there is no command line, only the argument list the shell made of it: quotes are
// already gone and runs of blanks between words have become one. Joining the words again with
// single blanks gives the same text for every line without quotes and without doubled blanks,
// which is how a desktop starts the program with a file; a quoted path arrives without its
// quotes. Windows splits its command line the same way before Qt sees it.
std::string processArgumentText();

}  // namespace zenvira::player
