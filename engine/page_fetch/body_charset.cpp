#include "engine/page_fetch/body_charset.h"

#include "base/text_ops.h"

namespace zenvira::components::pagefetch {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// The value after "charset" at `at` (which points just past the word): optional blanks,
// '=', optional blanks, an optionally quoted token. Empty when there is no '='.
std::string charsetValueAt(std::string_view s, std::size_t at) {
    while (at < s.size() && isSpace(s[at])) ++at;
    if (at >= s.size() || s[at] != '=') return {};
    ++at;
    while (at < s.size() && isSpace(s[at])) ++at;
    if (at < s.size() && (s[at] == '"' || s[at] == '\'')) ++at;
    const std::size_t start = at;
    while (at < s.size() && !isSpace(s[at]) && s[at] != '"' && s[at] != '\'' && s[at] != ';' &&
           s[at] != ',' && s[at] != '>' && s[at] != '/')
        ++at;
    return std::string(s.substr(start, at - start));
}

// The first "charset=" value in s, searched in a lower-cased copy.
std::string firstCharsetValue(std::string_view s) {
    const std::string lower = text::lowerAscii(s);
    constexpr std::string_view word = "charset";
    for (auto hit = lower.find(word); hit != std::string::npos; hit = lower.find(word, hit + 1)) {
        std::string value = charsetValueAt(s, hit + word.size());
        if (!value.empty()) return value;
    }
    return {};
}

}  // namespace

std::string charsetFromContentType(std::string_view contentType) {
    const auto params = contentType.find(';');
    if (params == std::string_view::npos) return {};
    return normalizedLabel(firstCharsetValue(contentType.substr(params + 1)));
}

std::string charsetFromMeta(std::string_view body) {
    const std::string_view head = body.substr(0, kMetaSniffBytes);
    const std::string lower = text::lowerAscii(head);
    for (auto tag = lower.find("<meta"); tag != std::string::npos; tag = lower.find("<meta", tag + 5)) {
        const auto end = lower.find('>', tag);
        if (end == std::string::npos) break;  // cut off by the sniff limit
        std::string value = firstCharsetValue(head.substr(tag, end - tag));
        if (!value.empty()) return normalizedLabel(value);
    }
    return {};
}

std::string normalizedLabel(std::string_view label) {
    std::string out = text::lowerAscii(label);
    const auto first = out.find_first_not_of(" \t\"'");
    if (first == std::string::npos) return {};
    const auto last = out.find_last_not_of(" \t\"'");
    return out.substr(first, last - first + 1);
}

bool isUtf8Label(std::string_view label) {
    std::string squeezed;
    for (char c : normalizedLabel(label))
        if (c != '-' && c != '_' && c != ' ') squeezed.push_back(c);
    return squeezed == "utf8" || squeezed == "unicode11utf8" || squeezed == "unicode20utf8" ||
           squeezed == "xunicode20utf8";
}

}  // namespace zenvira::components::pagefetch
