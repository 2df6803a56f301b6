#include "app/batch_list.h"

#include "base/product_site.h"
#include "base/text_ops.h"

namespace zenvira::app {

std::optional<std::string> batchRowFor(const std::string& addressText) {
    if (!text::contains(addressText, base::kWatchMarker)) return std::nullopt;
    return text::leftChars(addressText, 42);
}

}  // namespace zenvira::app
