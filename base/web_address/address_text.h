#pragma once
// Addresses as pages write them: inside attributes with character references, inside
// scripts with "\/" and "\u0026", relative to the page. These helpers turn them into
// absolute addresses a download can use.
#include <string>
#include <string_view>

namespace zenvira::components {

// Decodes the character references HTML allows in attribute values (&amp; &quot; &#38;
// &#x26; and the few named ones addresses carry); unknown ones stay as written.
std::string decodeEntities(std::string_view text);

// Undoes the escapes of a JavaScript or JSON string: \/ \" \\ \uXXXX (as UTF-8), \x26.
std::string decodeScriptEscapes(std::string_view text);

// Both of the above, then trimmed of blanks and line breaks: what an address written in a
// page stands for.
std::string cleanAddress(std::string_view written);

// The absolute address of `reference` seen from the page at `base` (RFC 3986, section 5):
// "//host/x", "/x", "x", "../x", "?q" and "#f" all work. A reference that already has a
// scheme comes back unchanged; the empty text when the base is not absolute.
std::string joinAddress(std::string_view base, std::string_view reference);

// The path of an absolute address without query and fragment ("/a/b.mp4").
std::string addressPath(std::string_view address);

// The lower-cased extension of the address's last path segment ("mp4"), or the empty text.
std::string addressExtension(std::string_view address);

}  // namespace zenvira::components
