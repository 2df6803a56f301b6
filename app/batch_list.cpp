#include "app/batch_list.h"

#include "app/product_site.h"
#include "components/text_ops.h"

namespace zenvira::app {

std::optional<std::string> batchRowFor(const std::string& addressText) {
    if (!text::contains(addressText, kWatchMarker)) return std::nullopt;
    return text::leftChars(addressText, 42);
}

}  // namespace zenvira::app
