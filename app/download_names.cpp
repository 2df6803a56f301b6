#include "app/download_names.h"

#include "base/text_ops.h"

namespace zenvira::app {

std::string sanitiseTitle(const std::string& title) {
    std::string clean = title;
    for (const char* c : {"?", "^", "/", "\\", "|", ":", "*", "\"", "$"}) clean = text::removeAll(clean, c);
    std::string out;
    for (std::size_t at = 0; at < clean.size(); ++at) {
        const auto c = static_cast<unsigned char>(clean[at]);
        if (c < 0x20 || c == 0x7F) continue;
        if (c == 0xC2 && at + 1 < clean.size() && static_cast<unsigned char>(clean[at + 1]) >= 0x80 &&
            static_cast<unsigned char>(clean[at + 1]) <= 0x9F) {
            ++at;  // U+0080-U+009F
            continue;
        }
        out += clean[at];
    }
    return out;
}

std::string videoIdOf(const std::string& pageAddress) {
    const std::size_t query = pageAddress.find('?');
    if (query == std::string::npos) return {};
    for (std::size_t at = query; at != std::string::npos; at = pageAddress.find('&', at + 1)) {
        if (pageAddress.compare(at + 1, 2, "v=") != 0) continue;
        const std::size_t start = at + 3;
        const std::size_t end = pageAddress.find_first_of("&#", start);
        return pageAddress.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return {};
}

std::string localFileName(const std::string& sanitisedTitle, const std::string& extension) {
    return "\\" + sanitisedTitle + "." + extension;
}

}  // namespace zenvira::app
