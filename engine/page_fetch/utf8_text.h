#pragma once
// UTF-8 checks and repairs for page bodies, and the windows-1252 decoder used when a page
// declares nothing and is not UTF-8 (what browsers do with legacy Western pages).
#include <string>
#include <string_view>

namespace zenvira::components::pagefetch {

// The U+FFFD replacement character in UTF-8.
inline constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

bool isValidUtf8(std::string_view bytes);

// Valid UTF-8 as it is; every invalid sequence (stray continuation byte, overlong form,
// surrogate, code point past U+10FFFF, truncated sequence) becomes one U+FFFD per maximal
// invalid subpart, as the Unicode standard recommends.
std::string repairUtf8(std::string bytes);

// Appends the UTF-8 form of a code point (must be a scalar value).
void appendUtf8(std::string& out, char32_t codePoint);

// Every byte is a character: ASCII as is, 0x80-0x9F through the windows-1252 table
// (the five unassigned bytes map to the C1 controls of the same value), 0xA0-0xFF as Latin-1.
std::string decodeWindows1252(std::string_view bytes);

}  // namespace zenvira::components::pagefetch
