#pragma once
// Turning a page body into UTF-8 text, whatever character set it was sent in.
#include <string>
#include <string_view>

namespace zenvira::components::pagefetch {

// Converts bytes in the named character set to UTF-8 with iconv; a byte sequence that is not
// valid in that set becomes U+FFFD. Returns false, leaving `out` alone, when iconv does not
// know the name.
bool convertWithIconv(std::string_view bytes, const std::string& charset, std::string& out);

// The body as UTF-8 text: a byte-order mark decides first, then the charset of the
// Content-Type header, then a <meta> declaration. UTF-8 is kept (invalid sequences
// replaced), another known set is converted, an unknown name is read as UTF-8, and a body
// that declares nothing and is not UTF-8 is read as windows-1252.
std::string decodeBody(std::string body, std::string_view contentType);

}  // namespace zenvira::components::pagefetch
