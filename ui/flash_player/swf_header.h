#pragma once
// Reads the header of a Flash movie file (SWF): signature, version, stage size, frame rate
// and frame count. Compressed movies ("CWS") are inflated with zlib as far as needed.
#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace zenvira::components {

struct SwfHeader {
    bool compressed = false;       // "CWS" (zlib) rather than "FWS"
    int version = 0;
    std::uint32_t fileLength = 0;  // length of the whole file once uncompressed
    int stageWidthTwips = 0;       // the stage RECT, in twentieths of a pixel
    int stageHeightTwips = 0;
    double frameRate = 0;          // frames per second (8.8 fixed point in the file)
    int frameCount = 0;

    int stageWidthPixels() const { return stageWidthTwips / 20; }
    int stageHeightPixels() const { return stageHeightTwips / 20; }
};

// Either the header or a text saying why the bytes are no movie.
using SwfReadResult = std::variant<SwfHeader, std::string>;

SwfReadResult readSwfHeader(std::span<const std::uint8_t> bytes);

// Reads the file at path (UTF-8); a missing or unreadable file is an error text.
SwfReadResult readSwfFile(const std::string& path);

}  // namespace zenvira::components
