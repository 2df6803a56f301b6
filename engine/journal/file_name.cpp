#include "engine/journal/file_name.h"

#include <cstring>

namespace zenvira::components {

namespace {

// The length of the control character starting at `at`, 0 when there is none: one byte for
// U+0000-U+001F and U+007F, two for U+0080-U+009F (C2 80 to C2 9F in UTF-8).
std::size_t controlAt(const std::string& text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F) return 1;
    if (c == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F) return 2;
    }
    return 0;
}

std::string withoutControls(const std::string& text, const char* replacement) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = controlAt(text, at)) {
            out += replacement;
            at += length;
        } else {
            out += text[at++];
        }
    }
    return out;
}

// Where the extension starts (its dot), or npos: a short tail after the last dot.
std::size_t extensionAt(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot > 16) return std::string::npos;
    return dot;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `bytes` bytes of `text`, shortened further so no character is cut in two.
std::string cutAtCharacter(const std::string& text, std::size_t bytes) {
    if (bytes >= text.size()) return text;
    while (bytes > 0 && isContinuation(text[bytes])) --bytes;
    return text.substr(0, bytes);
}

}  // namespace

std::string safeFileName(const std::string& name, const std::string& fallbackStem) {
    const std::string clean = withoutControls(name, "");
    const std::size_t dot = extensionAt(clean);
    std::string stem = dot == std::string::npos ? clean : clean.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : clean.substr(dot);
    const std::size_t shown = stem.find_first_not_of(". ");
    stem = shown == std::string::npos ? std::string() : stem.substr(shown);  // never a hidden file
    if (stem.empty()) {
        stem = withoutControls(fallbackStem, "");
        const std::size_t start = stem.find_first_not_of(". ");
        stem = start == std::string::npos ? "video" : stem.substr(start);
    }
    return stem + extension;
}

std::string numberedFileName(const std::string& name, int number, std::size_t limitBytes) {
    const std::size_t dot = extensionAt(name);
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    const std::string suffix = number > 1 ? " (" + std::to_string(number) + ")" : std::string();
    const std::size_t fixed = extension.size() + suffix.size() + std::strlen(kLongestCompanion);
    const std::size_t room = limitBytes > fixed + 1 ? limitBytes - fixed : 1;
    if (stem.size() > room) {
        stem = cutAtCharacter(stem, room);
        while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    }
    return stem + suffix + extension;
}

std::string printableText(const std::string& text) { return withoutControls(text, " "); }

}  // namespace zenvira::components
