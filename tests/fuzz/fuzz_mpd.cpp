// Feeds arbitrary text to the DASH manifest reader, and the same bytes as a sidx index to
// each SegmentBase representation it finds. Besides memory errors it checks the promises
// callers rely on: a manifest or an error sentence, never both or neither; every piece has an
// address and a sane range; every fragment names a period that has an initialisation slot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/dash/mpd_manifest.h"

namespace {

void checkPiece(const zenvira::components::dash::Piece& piece) {
    if (piece.addresses.empty()) std::abort();
    if (piece.range && piece.range->first > piece.range->last) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zenvira::components::dash;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto read = readManifest(text, "https://media.example.com/a/b/manifest.mpd");
    if (read.manifest.has_value() == !read.error.empty()) std::abort();
    if (!read.manifest) return 0;
    for (const auto& r : read.manifest->representations) {
        for (const auto& fragment : r.fragments) {
            checkPiece(fragment.piece);
            if (fragment.period < 0 || static_cast<std::size_t>(fragment.period) >= r.initialisations.size())
                std::abort();
        }
        if (!r.indexToRead) continue;
        checkPiece(*r.indexToRead);
        const auto cut = fragmentsFromIndex(r, text);
        if (cut.fragments.empty() == cut.error.empty()) std::abort();
        for (const auto& fragment : cut.fragments) checkPiece(fragment.piece);
    }
    return 0;
}
