#pragma once
// Output containers: the muxer a file extension (or an old -f name) stands for, the codecs
// a conversion gets when it names none, and the codecs a container cannot hold.
#include <span>
#include <string_view>

namespace zenvira::encoder {

struct ContainerEntry {
    std::string_view extensions;    // blank-separated, lower case, with their dots
    std::string_view muxer;         // the installed FFmpeg's muxer
    std::string_view defaultVideo;  // old codec name; empty: an audio-only container
    std::string_view defaultAudio;  // old codec name
    // Blank-separated encoders the container can hold; empty: whatever FFmpeg takes.
    std::string_view acceptedVideo;
    std::string_view acceptedAudio;
    // The muxer used instead, under the same name, when the codecs are not accepted.
    std::string_view fallback;
};

std::span<const ContainerEntry> containerTable();

// The container for a destination's extension (any case), or nullptr.
const ContainerEntry* containerForPath(std::string_view path);
// The container for a muxer named by -f, or nullptr.
const ContainerEntry* containerForMuxer(std::string_view muxer);

bool isAudioOnly(const ContainerEntry& container);
// Whether `encoder` is in a blank-separated list (an empty list takes everything).
bool listAccepts(std::string_view list, std::string_view encoder);

}  // namespace zenvira::encoder
