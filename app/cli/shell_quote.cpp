#include "app/cli/shell_quote.h"

#include <algorithm>

namespace zenvira::cli {

namespace {

bool needsNoQuotes(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("%+,-./:=@_").find(c) != std::string_view::npos;
}

}  // namespace

std::string posixShellWord(std::string_view word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), needsNoQuotes)) return std::string(word);
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

std::string posixCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& word : words) {
        if (!line.empty()) line += ' ';
        line += posixShellWord(word);
    }
    return line;
}

}  // namespace zenvira::cli
