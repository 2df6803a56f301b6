#pragma once
// What a manifest may ask for before it is refused: a hostile or broken one must not make the
// reader allocate without end or count for hours.
#include <cstddef>
#include <cstdint>

namespace zenvira::components::dash {

inline constexpr std::size_t kMostFragmentsPerTrack = 200'000;
inline constexpr std::size_t kMostFragmentsPerManifest = 1'000'000;
inline constexpr std::size_t kMostRepresentations = 2'000;
inline constexpr std::size_t kMostPeriods = 1'000;
inline constexpr std::size_t kMostAddressesPerPiece = 8;  // BaseURL alternatives kept
inline constexpr std::uint64_t kLargestFileOffset = std::uint64_t{1} << 50;

}  // namespace zenvira::components::dash
