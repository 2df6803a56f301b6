#pragma once
// The pieces of a Flash movie file: bit-packed records, tags and the compressed file itself.
#include <cstdint>
#include <string>
#include <vector>

namespace zenvira::moviegen {

using Bytes = std::vector<std::uint8_t>;

// A stage rectangle in twips, bit-packed as the SWF RECT record (5-bit field width, then
// four signed fields of that width, padded to a whole byte).
Bytes rectRecord(int xMin, int xMax, int yMin, int yMax);

// A tag with its short or long header, as its length requires.
Bytes tag(int code, const Bytes& body);

// The whole compressed movie: "CWS", version, uncompressed length, then zlib of the rest.
// Throws std::runtime_error when zlib fails.
Bytes compressedMovie(int version, const Bytes& uncompressedBody);

}  // namespace zenvira::moviegen
