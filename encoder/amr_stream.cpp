#include "encoder/amr_stream.h"

#include <array>

#include "encoder/amr_nb_encoder.h"

namespace zenvira::encoder {

namespace {

constexpr std::size_t kFrameBytes = AmrNbEncoder::kSamplesPerFrame * 2;

// Fills `bytes` as far as the stream goes; the count read.
std::size_t readFrame(std::FILE* pcm, std::array<unsigned char, kFrameBytes>& bytes) {
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = std::fread(bytes.data() + got, 1, bytes.size() - got, pcm);
        if (n == 0) break;
        got += n;
    }
    return got;
}

void toSamples(const std::array<unsigned char, kFrameBytes>& bytes, std::size_t count,
               std::array<short, AmrNbEncoder::kSamplesPerFrame>& samples) {
    samples.fill(0);
    for (std::size_t i = 0; i + 1 < count; i += 2)
        samples[i / 2] =
            static_cast<short>(static_cast<unsigned>(bytes[i]) | (static_cast<unsigned>(bytes[i + 1]) << 8));
}

AmrStreamResult failed(std::string error) {
    AmrStreamResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

AmrStreamResult writeAmrStream(std::FILE* pcm, std::FILE* amr, const AmrMode& mode) {
    AmrNbEncoder encoder(mode);
    if (!encoder.ready()) return failed("the AMR-NB encoder could not be set up");
    if (std::fwrite(kAmrMagic.data(), 1, kAmrMagic.size(), amr) != kAmrMagic.size())
        return failed("cannot write the AMR stream");
    AmrStreamResult result;
    std::array<unsigned char, kFrameBytes> bytes{};
    std::array<short, AmrNbEncoder::kSamplesPerFrame> samples{};
    while (const std::size_t count = readFrame(pcm, bytes)) {
        toSamples(bytes, count, samples);
        const auto frame = encoder.encode(samples);
        if (frame.empty()) return failed("the AMR-NB encoder refused a frame");
        if (std::fwrite(frame.data(), 1, frame.size(), amr) != frame.size())
            return failed("cannot write the AMR stream");
        ++result.frames;
    }
    if (std::ferror(pcm)) return failed("cannot read the decoded audio");
    if (std::fflush(amr) != 0) return failed("cannot write the AMR stream");
    result.ok = true;
    return result;
}

}  // namespace zenvira::encoder
