#include "encoder/container_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace zenvira::encoder {

namespace {

// One row per muxer the old profiles reach, and the common neighbours. Where a muxer has an
// audio-only row too (asf), the row with video comes first: -f finds that one.
constexpr std::array kContainers{
    ContainerEntry{".wav", "wav", "", "pcm_s16le", "", "", ""},
    ContainerEntry{".mp3", "mp3", "", "mp3", "", "", ""},
    ContainerEntry{".amr", "amr", "", "amr_nb", "", "", ""},
    ContainerEntry{".aac", "adts", "", "aac", "", "", ""},
    ContainerEntry{".ac3", "ac3", "", "ac3", "", "", ""},
    ContainerEntry{".mp2", "mp2", "", "mp2", "", "", ""},
    ContainerEntry{".flac", "flac", "", "flac", "", "", ""},
    ContainerEntry{".m4a", "ipod", "", "aac", "", "", ""},
    ContainerEntry{".3gp", "3gp", "mpeg4", "aac", "", "", ""},
    ContainerEntry{".3g2", "3g2", "mpeg4", "aac", "", "", ""},
    ContainerEntry{".mp4 .m4v", "mp4", "h264", "aac", "", "", ""},
    ContainerEntry{".mov", "mov", "h264", "aac", "", "", ""},
    ContainerEntry{".avi", "avi", "mpeg4", "mp3", "", "", ""},
    ContainerEntry{".wmv .asf", "asf", "wmv2", "wmav2", "", "", ""},
    ContainerEntry{".wma", "asf", "", "wmav2", "", "", ""},
    // RealMedia holds AC-3 or Cook audio, and FFmpeg has no Cook encoder.
    ContainerEntry{".rm", "rm", "rv20", "ac3", "rv10 rv20", "ac3", ""},
    // An MPEG program stream holds MPEG-1/2 video with MPEG, AC-3 or PCM audio. Other codecs
    // (MPEG-4 video, AAC) go into an MPEG transport stream under the same name.
    ContainerEntry{".mpg .mpeg", "mpeg", "mpeg1video", "mp2", "mpeg1video mpeg2video", "mp2 libmp3lame ac3 pcm_s16be",
                   "mpegts"},
    ContainerEntry{".ts", "mpegts", "mpeg2video", "mp2", "", "", ""},
    ContainerEntry{".flv", "flv", "flv", "mp3", "", "", ""},
    ContainerEntry{".mkv", "matroska", "h264", "vorbis", "", "", ""},
};

std::string lowerExtension(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string extension(path.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool wordIn(std::string_view list, std::string_view word) {
    std::size_t start = 0;
    while (start < list.size()) {
        auto end = list.find(' ', start);
        if (end == std::string_view::npos) end = list.size();
        if (list.substr(start, end - start) == word) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::span<const ContainerEntry> containerTable() { return kContainers; }

const ContainerEntry* containerForPath(std::string_view path) {
    const std::string extension = lowerExtension(path);
    if (extension.empty()) return nullptr;
    for (const auto& container : kContainers)
        if (wordIn(container.extensions, extension)) return &container;
    return nullptr;
}

const ContainerEntry* containerForMuxer(std::string_view muxer) {
    for (const auto& container : kContainers)
        if (container.muxer == muxer) return &container;
    return nullptr;
}

bool isAudioOnly(const ContainerEntry& container) { return container.defaultVideo.empty(); }

bool listAccepts(std::string_view list, std::string_view encoder) {
    return list.empty() || encoder == "copy" || wordIn(list, encoder);
}

}  // namespace zenvira::encoder
