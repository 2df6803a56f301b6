// Feeds arbitrary page text to both resolvers and the title reader. Besides memory errors
// it checks the promises callers rely on: five table entries, and a best address only
// when the full resolution found streams.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "resolve/meta_content.h"
#include "resolve/page_resolver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    const auto all = zenvira::resolve::resolvePage(page);
    const auto best = zenvira::resolve::resolveBestAddress(page);
    if (all.List1.size() != 5 || best.List1 != all.List1) std::abort();
    if (best.address && (all.List2.empty() || all.List2.front() != *best.address)) std::abort();
    if (!best.address && !all.List2.empty()) std::abort();
    if (all.videoTitle != zenvira::resolve::metaContent(page)) std::abort();
    return 0;
}
