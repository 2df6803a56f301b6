#include "encoder/codec_table.h"

#include <array>

namespace zenvira::encoder {

namespace {

using enum MediaKind;
using enum QualityControl;

// Size multiples are what each encoder refuses otherwise: rv10 16, rv20 and h263 4, the
// Windows Media encoders, Xvid and x264 (4:2:0 pictures) 2.
constexpr std::array kCodecs{
    CodecEntry{"mpeg4", "mpeg4", Video, QuantiserScale, 1},
    CodecEntry{"xvid", "libxvid", Video, QuantiserScale, 2},
    CodecEntry{"libxvid", "libxvid", Video, QuantiserScale, 2},
    CodecEntry{"h264", "libx264", Video, RateFactor, 2},
    CodecEntry{"x264", "libx264", Video, RateFactor, 2},
    CodecEntry{"libx264", "libx264", Video, RateFactor, 2},
    CodecEntry{"h263", "h263", Video, QuantiserScale, 4},
    CodecEntry{"h263p", "h263p", Video, QuantiserScale, 4},
    CodecEntry{"wmv1", "wmv1", Video, QuantiserScale, 2},
    CodecEntry{"wmv2", "wmv2", Video, QuantiserScale, 2},
    CodecEntry{"rv10", "rv10", Video, QuantiserScale, 16},
    CodecEntry{"rv20", "rv20", Video, QuantiserScale, 4},
    CodecEntry{"mpeg1video", "mpeg1video", Video, QuantiserScale, 1},
    CodecEntry{"mpeg2video", "mpeg2video", Video, QuantiserScale, 1},
    CodecEntry{"msmpeg4", "msmpeg4", Video, QuantiserScale, 1},
    CodecEntry{"msmpeg4v2", "msmpeg4v2", Video, QuantiserScale, 1},
    CodecEntry{"flv", "flv", Video, QuantiserScale, 1},
    CodecEntry{"mjpeg", "mjpeg", Video, QuantiserScale, 1},
    CodecEntry{"copy", "copy", Video, None, 1},
    CodecEntry{"mp3", "libmp3lame", Audio, None, 1},
    CodecEntry{"libmp3lame", "libmp3lame", Audio, None, 1},
    CodecEntry{"aac", "aac", Audio, None, 1},
    CodecEntry{"libfaac", "aac", Audio, None, 1},
    CodecEntry{"amr_nb", "", Audio, None, 1},
    CodecEntry{"libopencore_amrnb", "", Audio, None, 1},
    CodecEntry{"mp2", "mp2", Audio, None, 1},
    CodecEntry{"ac3", "ac3", Audio, None, 1},
    CodecEntry{"wmav1", "wmav1", Audio, None, 1},
    CodecEntry{"wmav2", "wmav2", Audio, None, 1},
    CodecEntry{"pcm_s16le", "pcm_s16le", Audio, None, 1},
    CodecEntry{"pcm_s16be", "pcm_s16be", Audio, None, 1},
    CodecEntry{"pcm_u8", "pcm_u8", Audio, None, 1},
    CodecEntry{"vorbis", "libvorbis", Audio, None, 1},
    CodecEntry{"libvorbis", "libvorbis", Audio, None, 1},
    CodecEntry{"flac", "flac", Audio, None, 1},
    CodecEntry{"copy", "copy", Audio, None, 1},
};

}  // namespace

std::span<const CodecEntry> codecTable() { return kCodecs; }

const CodecEntry* findCodec(std::string_view oldName, MediaKind kind) {
    for (const auto& codec : kCodecs)
        if (codec.kind == kind && codec.oldName == oldName) return &codec;
    return nullptr;
}

bool isFrontEncoded(const CodecEntry& codec) { return codec.encoder.empty(); }

}  // namespace zenvira::encoder
