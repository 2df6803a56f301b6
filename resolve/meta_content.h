#pragma once
#include <string>

namespace zenvira::resolve {

// The value of the page's first content= attribute, used as the video title. Nothing is
// decoded; the empty text when there is none or the attribute is never closed by ">".
std::string metaContent(const std::string& pageText);

}  // namespace zenvira::resolve
