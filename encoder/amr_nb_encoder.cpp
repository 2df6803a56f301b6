#include "encoder/amr_nb_encoder.h"

#include <opencore-amrnb/interf_enc.h>

namespace zenvira::encoder {

bool AmrNbEncoder::available() { return true; }

AmrNbEncoder::AmrNbEncoder(const AmrMode& mode) : state_(Encoder_Interface_init(0)), mode_(mode.index) {}

AmrNbEncoder::~AmrNbEncoder() {
    if (state_) Encoder_Interface_exit(state_);
}

std::span<const unsigned char> AmrNbEncoder::encode(std::span<const short, kSamplesPerFrame> samples) {
    if (!state_) return {};
    const int bytes = Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), samples.data(), frame_.data(), 0);
    if (bytes <= 0 || static_cast<std::size_t>(bytes) > frame_.size()) return {};
    return std::span<const unsigned char>(frame_.data(), static_cast<std::size_t>(bytes));
}

}  // namespace zenvira::encoder
