#pragma once
// Finding the character set a page declares: the charset parameter of its Content-Type
// header, else a <meta> declaration near the top of the body.
#include <cstddef>
#include <string>
#include <string_view>

namespace zenvira::components::pagefetch {

// How far into a body a <meta> charset declaration is looked for.
inline constexpr std::size_t kMetaSniffBytes = 2048;

// The charset parameter of a Content-Type value ("text/html; charset=\"Shift_JIS\""),
// unquoted and trimmed; empty when there is none.
std::string charsetFromContentType(std::string_view contentType);

// The charset of the first <meta charset=...> or <meta http-equiv="Content-Type"
// content="...; charset=..."> within the first kMetaSniffBytes of the body; empty when none.
std::string charsetFromMeta(std::string_view body);

// The charset label lower-cased, trimmed of blanks and quotes.
std::string normalizedLabel(std::string_view label);

// True for every spelling of UTF-8 ("UTF-8", "utf8", "Unicode-1-1-UTF-8"...).
bool isUtf8Label(std::string_view label);

}  // namespace zenvira::components::pagefetch
