#include "player/window/movie_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/text_ops.h"

namespace zenvira::player {

int movieNumberForDraw(double r) { return static_cast<int>(std::floor(r * 100000.0)) + 187; }

MovieNumberDraw::MovieNumberDraw(std::uint32_t secondsSinceMidnight)
    : state_(0x9E3779B97F4A7C15ULL ^ secondsSinceMidnight) {}

int MovieNumberDraw::next() {
    // splitmix64: small, and every seed gives a well-spread sequence.
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    const double r = static_cast<double>(z >> 11) / static_cast<double>(1ULL << 53);  // [0, 1)
    return movieNumberForDraw(r);
}

std::string movieFilePath(std::string_view temporaryFolder, int n) {
    return std::string(temporaryFolder) + std::to_string(n);
}

std::string movieAddress(std::string_view moviefile, std::string_view flvfile) {
    return text::replaceAll(std::string(moviefile) + "?file=" + std::string(flvfile), "\\", "/");
}

bool writeResourceFile(std::span<const std::uint8_t> bytes, const std::string& path, std::string& error) {
    if (bytes.empty()) {
        error = "The application carries no such resource";
        return false;
    }
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "Cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace zenvira::player
