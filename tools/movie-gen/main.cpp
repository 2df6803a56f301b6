// movie-gen OUT.swf [OUT.cpp]: writes the player movie, and optionally a C++ source that
// holds its bytes for builds without a resource compiler.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "player_movie.h"

namespace {

using zenvira::moviegen::Bytes;

bool writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string byteArraySource(const Bytes& bytes) {
    std::string text =
        "// Made by tools/movie-gen at build time: the player movie's bytes.\n"
        "#include <cstddef>\n#include <cstdint>\n\n"
        "namespace zenvira::player::generated {\n"
        "extern const std::uint8_t kPlayerMovie[];\nextern const std::size_t kPlayerMovieSize;\n"
        "const std::uint8_t kPlayerMovie[] = {";
    char number[16];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(number, sizeof number, "%s0x%02x", i % 16 == 0 ? "\n    " : " ", bytes[i]);
        text += number;
        text += ',';
    }
    text += "\n};\nconst std::size_t kPlayerMovieSize = sizeof kPlayerMovie;\n"
            "}  // namespace zenvira::player::generated\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: movie-gen OUT.swf [OUT.cpp]\n";
        return 2;
    }
    try {
        const Bytes movie = zenvira::moviegen::playerMovie();
        if (!writeBytes(argv[1], movie)) {
            std::cerr << "movie-gen: cannot write " << argv[1] << "\n";
            return 1;
        }
        if (argc == 3) {
            const std::string source = byteArraySource(movie);
            if (!writeBytes(argv[2], Bytes(source.begin(), source.end()))) {
                std::cerr << "movie-gen: cannot write " << argv[2] << "\n";
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "movie-gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
