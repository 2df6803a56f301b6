#include "app/stream_tracks.h"

namespace zenvira::app {

std::vector<components::Track> tracksOf(const resolve::Stream& stream) {
    const auto kind = stream.kind == resolve::StreamKind::Hls    ? components::TrackKind::Hls
                      : stream.kind == resolve::StreamKind::Dash ? components::TrackKind::Dash
                                                                 : components::TrackKind::Progressive;
    std::vector<components::Track> tracks{{kind, stream.address, stream.container, stream.representation}};
    if (!stream.audioAddress.empty())
        tracks.push_back({kind, stream.audioAddress, stream.container, stream.audioRepresentation});
    return tracks;
}

}  // namespace zenvira::app
