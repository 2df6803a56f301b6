// The manifest a running download's fragments are served under: a player picks its demuxer by
// what the manifest says, so WebM tracks must not be announced as MP4.
#include <gtest/gtest.h>

#include "engine/stream/served_playlist.h"

namespace zenvira::components {
namespace {

StreamTrack trackOf(bool sound, const std::string& extension, std::size_t firstPiece) {
    return {sound, firstPiece, {firstPiece + 1, firstPiece + 2}, {2.0, 1.5}, extension};
}

TEST(ServedPlaylistTest, EachTrackIsAnnouncedAndRoutedAsTheKindItIs) {
    const struct {
        const char* name;
        std::string extension;
        std::string mime;
        std::string initialisation;
        std::string otherInitialisation;
    } kinds[] = {
        {"fragmented MP4", "m4s", "/mp4\"", "init.mp4", "init.webm"},
        {"WebM", "webm", "/webm\"", "init.webm", "init.mp4"},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        StreamFragments fragments;
        fragments.tracks = {trackOf(false, kind.extension, 0), trackOf(true, kind.extension, 3)};
        ASSERT_TRUE(shownAsManifest(fragments));
        const std::string manifest = presentationManifest(fragments);
        EXPECT_NE(manifest.find("mimeType=\"video" + kind.mime), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("mimeType=\"audio" + kind.mime), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("initialization=\"track1/" + kind.initialisation + "\""), std::string::npos);
        EXPECT_NE(manifest.find("media=\"track1/$Number$." + kind.extension + "\""), std::string::npos);

        const FragmentRoute init = routeOf("track1/" + kind.initialisation, fragments);
        EXPECT_EQ(init.kind, FragmentRoute::Kind::Piece);
        EXPECT_EQ(init.number, 3u);
        EXPECT_EQ(routeOf("track1/" + kind.otherInitialisation, fragments).kind, FragmentRoute::Kind::Missing);
        const FragmentRoute second = routeOf("track0/1." + kind.extension, fragments);
        EXPECT_EQ(second.kind, FragmentRoute::Kind::Piece);
        EXPECT_EQ(second.number, 2u);
    }
}

}  // namespace
}  // namespace zenvira::components
