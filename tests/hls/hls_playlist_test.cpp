// Reading master and media playlists.
#include <gtest/gtest.h>

#include "media/hls/hls_playlist.h"

using namespace zenvira::components::hls;

TEST(HlsPlaylist, MasterVariantsWithTheirSizes) {
    const auto parsed = parsePlaylist("\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-VERSION:3\r\n"
                                      "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360,CODECS=\"avc1.4d401e,mp4a.40.2\"\r\n"
                                      "360/index.m3u8\r\n"
                                      "#EXT-X-STREAM-INF:BANDWIDTH=2800000,RESOLUTION=1280x720\r\n"
                                      "https://cdn.example.com/720/index.m3u8?token=a%2Cb\r\n"
                                      "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\r\n"
                                      "audio.m3u8\r\n",
                                      "https://v.example.com/hls/master.m3u8");
    ASSERT_TRUE(parsed.playlist) << parsed.error;
    const auto& list = *parsed.playlist;
    EXPECT_TRUE(list.master);
    ASSERT_EQ(list.variants.size(), 3u);
    EXPECT_EQ(list.variants[0].address, "https://v.example.com/hls/360/index.m3u8");
    EXPECT_EQ(list.variants[0].height, 360);
    EXPECT_EQ(list.variants[0].codecs, "avc1.4d401e,mp4a.40.2");
    EXPECT_EQ(list.variants[1].address, "https://cdn.example.com/720/index.m3u8?token=a%2Cb");
    EXPECT_EQ(list.variants[1].height, 720);
    EXPECT_EQ(list.variants[2].height, 0);
    EXPECT_EQ(bestVariant(list), &list.variants[1]);
}

TEST(HlsPlaylist, MediaSegmentsKeysRangesAndInitSection) {
    const auto parsed = parsePlaylist("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:7\n"
                                      "#EXT-X-MAP:URI=\"init.mp4\"\n"
                                      "#EXTINF:2.000,\nseg0.m4s\n"
                                      "#EXT-X-KEY:METHOD=AES-128,URI=\"../keys/k1\",IV=0x0102\n"
                                      "#EXTINF:2.0,title\n#EXT-X-BYTERANGE:1000@500\nseg1.m4s\n"
                                      "#EXTINF:1.5,\n#EXT-X-BYTERANGE:200\nseg1.m4s\n"
                                      "#EXT-X-KEY:METHOD=NONE\n#EXTINF:1,\nseg3.m4s\n#EXT-X-ENDLIST\n",
                                      "http://h/v/720/index.m3u8");
    ASSERT_TRUE(parsed.playlist);
    const auto& list = *parsed.playlist;
    EXPECT_FALSE(list.master);
    EXPECT_TRUE(list.ended);
    ASSERT_EQ(list.segments.size(), 4u);
    EXPECT_EQ(list.segments[0].address, "http://h/v/720/seg0.m4s");
    EXPECT_EQ(list.segments[0].initAddress, "http://h/v/720/init.mp4");
    EXPECT_EQ(list.segments[0].sequence, 7u);
    EXPECT_EQ(list.segments[0].key.method, SegmentKey::Method::None);
    EXPECT_EQ(list.segments[1].key.method, SegmentKey::Method::Aes128);
    EXPECT_EQ(list.segments[1].key.address, "http://h/v/keys/k1");
    ASSERT_TRUE(list.segments[1].key.iv);
    EXPECT_EQ((*list.segments[1].key.iv)[14], 0x01);
    EXPECT_EQ((*list.segments[1].key.iv)[15], 0x02);
    EXPECT_EQ(list.segments[1].byteRange, std::make_pair(std::uint64_t{500}, std::uint64_t{1000}));
    EXPECT_EQ(list.segments[2].byteRange, std::make_pair(std::uint64_t{1500}, std::uint64_t{200}));
    EXPECT_DOUBLE_EQ(list.segments[2].seconds, 1.5);
    EXPECT_EQ(list.segments[3].key.method, SegmentKey::Method::None);
    EXPECT_EQ(list.segments[3].sequence, 10u);
    EXPECT_EQ(sequenceIv(10)[15], 10);
    EXPECT_EQ(sequenceIv(0x0102)[14], 1);
}

TEST(HlsPlaylist, LiveListsAndThingsThatAreNotPlaylists) {
    const auto live = parsePlaylist("#EXTM3U\n#EXTINF:2,\na.ts\n", "http://h/live.m3u8");
    ASSERT_TRUE(live.playlist);
    EXPECT_FALSE(live.playlist->ended);
    const auto vod = parsePlaylist("#EXTM3U\n#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:2,\na.ts\n", "http://h/v.m3u8");
    EXPECT_TRUE(vod.playlist->ended);
    EXPECT_FALSE(parsePlaylist("<html>", "http://h/x").playlist);
    EXPECT_FALSE(parsePlaylist("", "http://h/x").playlist);
    const auto odd = parsePlaylist("#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n#EXT-X-STREAM-INF:\n", "http://h/x");
    ASSERT_TRUE(odd.playlist);  // a variant line without its address is simply not there
    EXPECT_TRUE(odd.playlist->variants.empty());
    EXPECT_TRUE(isPlaylistType("application/vnd.apple.mpegurl"));
    EXPECT_TRUE(isPlaylistType("Application/X-MpegURL; charset=utf-8"));
    EXPECT_FALSE(isPlaylistType("video/mp4"));
}
