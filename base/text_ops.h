#pragma once
// Small text helpers in the style the page-cutting routines are written in: 1-based
// positions, 0 meaning "not found", exact and case-sensitive. Text is UTF-8; positions
// count bytes, which equals characters for the ASCII markers we search for. Where a
// count of characters matters (a window of five characters, dropping the last
// character), the *Chars helpers step over whole UTF-8 sequences.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::text {

// Position of the first occurrence of needle at or after position start, or 0.
inline std::size_t find(std::string_view hay, std::string_view needle, std::size_t start = 1) {
    if (start == 0) start = 1;
    if (start > hay.size() + 1) return 0;
    const auto at = hay.find(needle, start - 1);
    return at == std::string_view::npos ? 0 : at + 1;
}

inline bool contains(std::string_view hay, std::string_view needle) {
    return hay.find(needle) != std::string_view::npos;
}

// The text from position start to the end (start 1 is the whole text).
inline std::string mid(std::string_view s, std::size_t start) {
    if (start == 0) start = 1;
    if (start > s.size()) return {};
    return std::string(s.substr(start - 1));
}

// At most len bytes from position start.
inline std::string mid(std::string_view s, std::size_t start, std::size_t len) {
    if (start == 0) start = 1;
    if (start > s.size()) return {};
    return std::string(s.substr(start - 1, len));
}

// The first n bytes; the whole text when n reaches its length.
inline std::string left(std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); }

// The text without its first n bytes; the whole text when n is 0.
inline std::string dropLeft(std::string_view s, std::size_t n) {
    return n >= s.size() ? std::string() : std::string(s.substr(n));
}

// Every occurrence, left to right, without overlap.
inline std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (auto hit = s.find(from); hit != std::string_view::npos; hit = s.find(from, pos)) {
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

inline std::string removeAll(std::string_view s, std::string_view what) { return replaceAll(s, what, ""); }

// Removes blanks (the space character, nothing else) at both ends.
inline std::string trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

// Lower-cases ASCII letters only, so positions in the copy match the original.
inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Splits at every separator, keeping empty pieces; an empty text has no pieces.
inline std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> pieces;
    if (s.empty()) return pieces;
    std::size_t pos = 0;
    for (auto hit = s.find(sep); hit != std::string_view::npos; hit = s.find(sep, pos)) {
        pieces.emplace_back(s.substr(pos, hit - pos));
        pos = hit + 1;
    }
    pieces.emplace_back(s.substr(pos));
    return pieces;
}

inline bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte index (0-based) of the start of the character `count` characters before byteIndex,
// or npos when the text has fewer characters before that point.
inline std::size_t stepBackChars(std::string_view s, std::size_t byteIndex, std::size_t count) {
    std::size_t i = byteIndex;
    for (std::size_t n = 0; n < count; ++n) {
        if (i == 0) return std::string_view::npos;
        --i;
        while (i > 0 && isUtf8Continuation(s[i])) --i;
    }
    return i;
}

// The first n characters (not bytes).
inline std::string leftChars(std::string_view s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < n && i < s.size(); ++k) {
        ++i;
        while (i < s.size() && isUtf8Continuation(s[i])) ++i;
    }
    return std::string(s.substr(0, i));
}

}  // namespace zenvira::text
