#include "app/download_names.h"

#include "base/text_ops.h"

namespace zenvira::app {

std::string sanitiseTitle(const std::string& title) {
    std::string clean = title;
    for (const char* c : {"?", "^", "/", "\\", "|", ":", "*", "\"", "$"}) clean = text::removeAll(clean, c);
    return clean;
}

std::string localFileName(const std::string& sanitisedTitle) { return "\\" + sanitisedTitle + ".flv"; }

}  // namespace zenvira::app
