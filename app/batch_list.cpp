#include "app/batch_list.h"

#include <algorithm>
#include <cctype>

#include "base/product_site.h"
#include "base/text_ops.h"

namespace zenvira::app {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isHttpAddress(const std::string& text) {
    const std::string lower = lowered(text.substr(0, 8));
    const std::size_t rest = lower.rfind("https://", 0) == 0 ? 8 : lower.rfind("http://", 0) == 0 ? 7 : 0;
    if (rest == 0 || text.size() <= rest || text.find_first_of("/?#", rest) == rest) return false;
    return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; });
}

}  // namespace

std::optional<std::string> batchRowFor(const std::string& addressText) {
    if (!text::contains(addressText, base::kWatchMarker)) return std::nullopt;
    return text::leftChars(addressText, 42);
}

std::optional<BatchEntry> batchEntryFor(const std::string& addressText) {
    if (const auto row = batchRowFor(addressText)) return BatchEntry{*row, addressText};
    const std::string address = text::trimBlanks(addressText);
    if (!isHttpAddress(address) || text::contains(lowered(address), base::kWatchMarker)) return std::nullopt;
    return BatchEntry{text::leftChars(address, 42), address};
}

}  // namespace zenvira::app
