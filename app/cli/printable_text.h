#pragma once
// Text from outside (page titles, addresses, a server's file names and words) as the command
// line prints it: always valid UTF-8, without a control character that could act on a
// terminal or break a line apart.
#include <cstddef>
#include <string>
#include <string_view>

namespace zenvira::cli {

// Each byte that does not start a well-formed UTF-8 character (a stray continuation byte, an
// overlong form, a surrogate, a cut sequence) becomes U+FFFD.
std::string validUtf8(std::string_view text);

// One line for a terminal: valid UTF-8, every control character a '?'.
std::string printableLine(std::string_view text);

// The code points of the C0 and C1 control sets and DEL (U+0000..U+001F, U+007F..U+009F).
constexpr bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The length of the well-formed UTF-8 character at the start of `text`, with its code point;
// 0 when none starts there.
std::size_t characterAt(std::string_view text, char32_t& codePoint);

// Calls `each(codePoint, bytes)` for every character of `text`; a byte that starts none comes
// as U+FFFD with that one byte.
template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0xFFFD;
        std::size_t length = characterAt(text.substr(at), c);
        if (length == 0) length = 1, c = 0xFFFD;
        each(c, text.substr(at, length));
        at += length;
    }
}

}  // namespace zenvira::cli
