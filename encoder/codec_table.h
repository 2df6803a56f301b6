#pragma once
// The codec names of the old command line and the encoders of the installed FFmpeg that
// make the same codec today.
#include <span>
#include <string_view>

namespace zenvira::encoder {

enum class MediaKind { Video, Audio };

// How a constant quality is asked of an encoder.
enum class QualityControl {
    None,            // stream copy: nothing to ask
    QuantiserScale,  // -q:v, the quantiser scale of the MPEG-style encoders
    RateFactor,      // libx264: -crf for a constant quality, -qp for a fixed quantiser
};

struct CodecEntry {
    std::string_view oldName;  // as the old command line names it
    std::string_view encoder;  // the installed FFmpeg's encoder; empty: made by this front
    MediaKind kind;
    QualityControl quality;
    int sizeMultiple;  // the encoder takes only widths and heights that are multiples of this
};

std::span<const CodecEntry> codecTable();

// The entry for an old codec name (exact, lower case as the old FFmpeg wrote them), or
// nullptr for a name the table does not know.
const CodecEntry* findCodec(std::string_view oldName, MediaKind kind);

// AMR-NB: the installed FFmpeg has no encoder for it, so this front encodes it itself.
bool isFrontEncoded(const CodecEntry& codec);

}  // namespace zenvira::encoder
