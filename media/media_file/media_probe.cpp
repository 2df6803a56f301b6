#include "media/media_file/media_probe.h"

#include "media/media_file/media_module.h"
#include "media/media_file/plain_header.h"

namespace zenvira::components {

MediaFacts probeMediaBytes(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (auto plain = readPlainHeader(bytes)) return *plain;
    std::string error;
    const auto* module = media_module::loaded(error);
    if (!module) {
        MediaFacts unread;
        unread.error = error;
        return unread;
    }
    return module->probe(bytes);
}

}  // namespace zenvira::components
