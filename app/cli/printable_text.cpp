#include "app/cli/printable_text.h"

namespace zenvira::cli {

std::size_t characterAt(std::string_view text, char32_t& codePoint) {
    if (text.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    std::size_t length = 0;
    char32_t c = 0, least = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        length = 2, c = b0 & 0x1F, least = 0x80;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        length = 3, c = b0 & 0x0F, least = 0x800;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        length = 4, c = b0 & 0x07, least = 0x10000;
    else
        return 0;
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    codePoint = c;
    return length;
}

namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](char32_t c, std::string_view bytes) { out += c == 0xFFFD ? kReplacement : bytes; });
    return out;
}

std::string printableLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        if (isControl(c))
            out += '?';
        else
            out += c == 0xFFFD ? kReplacement : bytes;
    });
    return out;
}

}  // namespace zenvira::cli
