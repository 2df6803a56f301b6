#include "engine/transfer/shown_text.h"

namespace zenvira::components {

namespace {

constexpr std::size_t kShownLimit = 120;

bool continuationByte(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

std::string shownText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (out.size() >= kShownLimit && !continuationByte(b)) {
            out += "...";
            break;
        }
        if (b < 0x20 || b == 0x7F) {
            out += '?';
        } else if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += '?';  // a C1 control in UTF-8: some terminals act on it as on ESC [
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace zenvira::components
