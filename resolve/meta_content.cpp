#include "resolve/meta_content.h"

#include "base/text_ops.h"

namespace zenvira::resolve {

using namespace zenvira::text;

std::string metaContent(const std::string& pageText) {
    if (!contains(pageText, "content")) return {};
    const std::size_t a = find(pageText, "content=");
    if (a == 0) return {};  // "content" without "=": no attribute to read
    const std::size_t b = find(pageText, ">", a);
    if (b == 0) return {};  // never closed
    // From "content=" up to the character before ">", which is dropped (a closing quote,
    // a slash, or the last letter of an unquoted value).
    const std::string upToClose = pageText.substr(a - 1, b - a);
    const std::size_t lastChar = stepBackChars(upToClose, upToClose.size(), 1);
    std::string slice = upToClose.substr(0, lastChar);
    slice = removeAll(slice, "content=");
    slice = removeAll(slice, "\"");
    return trimBlanks(slice);
}

}  // namespace zenvira::resolve
