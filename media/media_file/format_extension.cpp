#include "media/media_file/media_probe.h"

namespace zenvira::components {

std::string extensionOfFormat(std::string_view name, bool isWebm) {
    if (name.starts_with("mov,mp4")) return "mp4";
    if (name.starts_with("matroska")) return isWebm ? "webm" : "mkv";
    if (name == "flv") return "flv";
    if (name == "mpegts") return "ts";
    if (name == "hls") return "mp4";
    const auto comma = name.find(',');
    return std::string(name.substr(0, comma));
}

}  // namespace zenvira::components
