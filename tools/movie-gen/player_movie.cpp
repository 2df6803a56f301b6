#include "player_movie.h"

namespace zenvira::moviegen {
namespace {

// Tag codes and action codes of the SWF format.
constexpr int kTagEnd = 0;
constexpr int kTagShowFrame = 1;
constexpr int kTagSetBackgroundColor = 9;
constexpr int kTagDoAction = 12;
constexpr int kTagFileAttributes = 69;
constexpr std::uint8_t kActionStop = 0x07;
constexpr std::uint8_t kActionEnd = 0x00;

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes movieBody() {
    Bytes body = rectRecord(0, kStageWidthTwips, 0, kStageHeightTwips);
    append(body, {0x00, static_cast<std::uint8_t>(kFramesPerSecond)});  // 8.8 fixed, low byte first
    append(body, {static_cast<std::uint8_t>(kFrameCount), 0x00});
    append(body, tag(kTagFileAttributes, {0x00, 0x00, 0x00, 0x00}));    // no network, no metadata
    append(body, tag(kTagSetBackgroundColor, {0x00, 0x00, 0x00}));
    append(body, tag(kTagShowFrame, {}));
    append(body, tag(kTagDoAction, {kActionStop, kActionEnd}));
    append(body, tag(kTagShowFrame, {}));
    append(body, tag(kTagEnd, {}));
    return body;
}

}  // namespace

Bytes playerMovie() { return compressedMovie(kMovieVersion, movieBody()); }

}  // namespace zenvira::moviegen
