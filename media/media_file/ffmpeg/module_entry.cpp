#include "media/media_file/ffmpeg/ffmpeg_module.h"
#include "media/media_file/media_module.h"

// The module's one exported name (everything else is hidden); the front finds it by
// media_module::kEntryName.
extern "C" __attribute__((visibility("default"))) const zenvira::components::media_module::Functions*
zenvira_media_functions() {
    using namespace zenvira::components;
    static const media_module::Functions functions{
        .probe = ffmpeg::probe, .join = ffmpeg::join, .joinTracks = ffmpeg::joinTracks};
    return &functions;
}
