#pragma once
// An .amr stream ("#!AMR\n" and one frame per 20 ms) made from raw 8 kHz mono 16-bit
// little-endian PCM.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "encoder/amr_mode.h"

namespace zenvira::encoder {

inline constexpr std::string_view kAmrMagic = "#!AMR\n";

struct AmrStreamResult {
    bool ok = false;
    std::uint64_t frames = 0;
    std::string error;  // when not ok
};

// Reads `pcm` to its end and writes the stream to `amr`; a last part-frame is filled with
// silence. Does not close either stream.
AmrStreamResult writeAmrStream(std::FILE* pcm, std::FILE* amr, const AmrMode& mode);

}  // namespace zenvira::encoder
