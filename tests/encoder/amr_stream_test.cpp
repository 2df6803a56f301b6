// The AMR-NB stream made with the opencore library: its header, one frame per 20 ms of
// input (a part-frame at the end included) and the frame size of the chosen mode.
#include "encoder/amr_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "encoder/amr_mode.h"

namespace zenvira::encoder {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File tempFile() { return File(std::tmpfile(), &std::fclose); }

// `samples` of a 440 Hz tone, 8 kHz, 16-bit little-endian.
File tonePcm(std::size_t samples) {
    File pcm = tempFile();
    for (std::size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<short>(8000 * std::sin(2 * 3.14159265 * 440 * static_cast<double>(i) / 8000));
        const unsigned char bytes[2] = {static_cast<unsigned char>(value & 0xff),
                                        static_cast<unsigned char>((value >> 8) & 0xff)};
        std::fwrite(bytes, 1, 2, pcm.get());
    }
    std::rewind(pcm.get());
    return pcm;
}

std::vector<unsigned char> contents(std::FILE* file) {
    std::rewind(file);
    std::vector<unsigned char> bytes;
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
    return bytes;
}

// Bytes per stored frame, header byte included, for each mode (3GPP TS 26.101).
constexpr std::size_t kFrameBytes[] = {13, 14, 16, 18, 20, 21, 27, 32};

TEST(AmrStream, OneFramePerTwentyMillisecondsInTheModesSize) {
    for (const auto& mode : amrModes()) {
        File pcm = tonePcm(8000 + 80);  // one second and half a frame
        File amr = tempFile();
        const AmrStreamResult result = writeAmrStream(pcm.get(), amr.get(), mode);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.frames, 51u);
        const auto bytes = contents(amr.get());
        const std::size_t frameBytes = kFrameBytes[mode.index];
        ASSERT_EQ(bytes.size(), kAmrMagic.size() + 51 * frameBytes) << mode.label;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "#!AMR\n");
        // Each frame starts with its mode in bits 3-6 and the quality bit set.
        for (std::size_t at = kAmrMagic.size(); at < bytes.size(); at += frameBytes)
            ASSERT_EQ(bytes[at], static_cast<unsigned char>((mode.index << 3) | 0x04)) << mode.label << " at " << at;
    }
}

TEST(AmrStream, NoAudioGivesAHeaderOnly) {
    File pcm = tempFile();
    File amr = tempFile();
    const AmrStreamResult result = writeAmrStream(pcm.get(), amr.get(), amrModes().back());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.frames, 0u);
    EXPECT_EQ(contents(amr.get()).size(), kAmrMagic.size());
}

}  // namespace
}  // namespace zenvira::encoder
