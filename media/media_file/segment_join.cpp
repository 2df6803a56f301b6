#include "media/media_file/segment_join.h"

#include "media/media_file/media_module.h"

namespace zenvira::components {

JoinResult joinIntoMp4(const std::vector<std::string>& pieces, const std::string& output,
                       const JoinCancelled& cancelled) {
    if (cancelled && cancelled()) return {false, kJoinStoppedText, 0, true};
    std::string error;
    const auto* module = media_module::loaded(error);
    if (!module) return {false, error};
    return module->join(pieces, output, cancelled);
}

}  // namespace zenvira::components
