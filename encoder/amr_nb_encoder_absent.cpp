// A build without the opencore library: no AMR-NB encoder, said before anything starts.
#include "encoder/amr_nb_encoder.h"

namespace zenvira::encoder {

bool AmrNbEncoder::available() { return false; }

AmrNbEncoder::AmrNbEncoder(const AmrMode& mode) : mode_(mode.index) {}

AmrNbEncoder::~AmrNbEncoder() = default;

std::span<const unsigned char> AmrNbEncoder::encode(std::span<const short, kSamplesPerFrame>) { return {}; }

}  // namespace zenvira::encoder
