// Generated stream content: every 8-byte word is a 64-bit mix of its word index, so the
// pattern never repeats with a short period (a misplaced range shows up at once) and costs
// a handful of integer operations per word.
#include <cstring>

#include "tests/site/fixture_site.h"

namespace zenvira::site {

namespace {

// The splitmix64 finaliser: a bijection on 64-bit words with good avalanche.
constexpr std::uint64_t mixWord(std::uint64_t wordIndex) {
    std::uint64_t z = wordIndex + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The word's bytes, least significant first, whatever the machine's byte order.
inline void storeWord(std::uint64_t word, std::uint8_t* out) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

// A seed moves the pattern to another stretch of the sequence, far from any other seed's.
constexpr std::uint64_t wordOf(std::uint64_t offset, std::uint64_t seed) { return offset / 8 + (seed << 48); }

}  // namespace

std::uint8_t streamByte(std::uint64_t offset, std::uint64_t contentSeed) {
    return static_cast<std::uint8_t>(mixWord(wordOf(offset, contentSeed)) >> (8 * (offset % 8)));
}

void fillStreamBytes(std::uint64_t offset, std::uint8_t* out, std::size_t length, std::uint64_t contentSeed) {
    // Head: up to the next word boundary.
    while (length > 0 && offset % 8 != 0) {
        *out++ = streamByte(offset++, contentSeed);
        --length;
    }
    // Whole words.
    std::uint64_t word = wordOf(offset, contentSeed);
    for (; length >= 8; length -= 8, out += 8, offset += 8) storeWord(mixWord(word++), out);
    // Tail.
    for (std::size_t i = 0; i < length; ++i) out[i] = streamByte(offset + i, contentSeed);
}

}  // namespace zenvira::site
