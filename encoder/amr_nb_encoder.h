#pragma once
// One AMR-NB encoder state of the opencore library: 20 ms of 8 kHz mono speech in, one
// frame in the storage format of .amr files (header byte and bits) out.
#include <array>
#include <cstddef>
#include <span>

#include "encoder/amr_mode.h"

namespace zenvira::encoder {

class AmrNbEncoder {
public:
    static constexpr std::size_t kSamplesPerFrame = 160;
    static constexpr std::size_t kMaxFrameBytes = 32;

    explicit AmrNbEncoder(const AmrMode& mode);
    ~AmrNbEncoder();
    AmrNbEncoder(const AmrNbEncoder&) = delete;
    AmrNbEncoder& operator=(const AmrNbEncoder&) = delete;

    // Whether this build holds the library at all.
    static bool available();
    // False when the library could not make its state.
    bool ready() const { return state_ != nullptr; }
    // The frame for 160 samples; empty when the library refuses them.
    std::span<const unsigned char> encode(std::span<const short, kSamplesPerFrame> samples);

private:
    void* state_ = nullptr;
    int mode_;
    std::array<unsigned char, kMaxFrameBytes> frame_{};
};

}  // namespace zenvira::encoder
