#pragma once
// The application's resources of type "CUSTOM": number 101 is the player movie, a compressed
// SWF made by the build. An unknown number gives an empty span.
#include <cstdint>
#include <span>

namespace zenvira::player {

constexpr int kPlayerMovieResource = 101;

std::span<const std::uint8_t> customResource(int number);

}  // namespace zenvira::player
