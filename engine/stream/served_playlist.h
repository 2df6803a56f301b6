#pragma once
// A download in fragments as the local stream shows it to a player. Tracks of fMP4 (each
// after an initialisation section: DASH, HLS of fMP4) are a static DASH manifest, one
// adaptation set a track: players seek in those, where they cannot in fMP4 HLS. Others
// (MPEG-TS) are an HLS master playlist naming one media playlist per track, the picture as
// the variant and each track of sound as an audio rendition of it, each list ended as the
// whole list is known. The names are relative: "trackN.m3u8" beside the master,
// "trackN/K.EXT" and "trackN/init.mp4".
#include <cstddef>
#include <optional>
#include <string>

#include "engine/transfer/stream_link.h"

namespace zenvira::components {

// Whether the download is shown as a DASH manifest rather than an HLS playlist.
bool shownAsManifest(const StreamFragments& fragments);
std::string presentationManifest(const StreamFragments& fragments);
std::string masterPlaylist(const StreamFragments& fragments);
std::string mediaPlaylist(const StreamTrack& track, std::size_t number);

// What a name under a download's token asks for; anything not a track's is the master.
struct FragmentRoute {
    enum class Kind { Master, Playlist, Piece, Missing };
    Kind kind = Kind::Master;
    std::optional<std::size_t> number;  // the track, for a Playlist; the download's piece, for a Piece
};
FragmentRoute routeOf(const std::string& name, const StreamFragments& fragments);

}  // namespace zenvira::components
