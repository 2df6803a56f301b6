#pragma once
// Arguments written into one Windows command line so that the child's CommandLineToArgvW
// (and the C runtime's own split) gives them back unchanged: the inverse of
// splitWindowsArguments.
#include <string>
#include <vector>

namespace zenvira::platform::win32 {

// One argument: as it is when it holds no blank, tab, newline or double quote and is not
// empty; otherwise between double quotes, with a backslash run doubled where it precedes a
// quote and every inner quote escaped.
inline std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');  // they precede the closing quote
    quoted += L'"';
    return quoted;
}

// The program's name first, quoted whole (a program's name follows simpler rules: it ends at
// the closing quote, backslashes are literal), then each argument after one blank.
inline std::wstring commandLineOf(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = L"\"" + program + L"\"";
    for (const auto& argument : arguments) line += L" " + quotedArgument(argument);
    return line;
}

}  // namespace zenvira::platform::win32
