#include "player/movie/custom_resource.h"

#include <cstddef>

namespace zenvira::player {

namespace generated {
extern const std::uint8_t kPlayerMovie[];
extern const std::size_t kPlayerMovieSize;
}  // namespace generated

std::span<const std::uint8_t> customResource(int number) {
    if (number == kPlayerMovieResource) return {generated::kPlayerMovie, generated::kPlayerMovieSize};
    return {};
}

}  // namespace zenvira::player
