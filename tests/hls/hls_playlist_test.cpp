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

TEST(HlsPlaylist, VariantsTakeTheirSoundAndSubtitlesFromTheirGroups) {
    const auto parsed = parsePlaylist(
        "#EXTM3U\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aac\",NAME=\"English\",LANGUAGE=\"en\",DEFAULT=NO,URI=\"audio/en.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aac\",NAME=\"Deutsch\",LANGUAGE=\"de\",DEFAULT=YES,URI=\"audio/de.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"muxed\",NAME=\"Main\",DEFAULT=YES\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"English\",LANGUAGE=\"en\",URI=\"subs/en.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"Français\",LANGUAGE=\"fr\",URI=\"subs/fr.m3u8\"\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=2000000,RESOLUTION=1280x720,CODECS=\"avc1.64001f\",AUDIO=\"aac\",SUBTITLES="
        "\"subs\"\n"
        "720/video.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=900000,RESOLUTION=640x360,AUDIO=\"muxed\"\n"
        "360/index.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=300000,RESOLUTION=426x240,AUDIO=\"missing\"\n"
        "240/index.m3u8\n",
        "http://h/v/master.m3u8");
    ASSERT_TRUE(parsed.playlist) << parsed.error;
    const auto& list = *parsed.playlist;
    ASSERT_EQ(list.variants.size(), 3u);
    ASSERT_EQ(list.renditions.size(), 5u);
    EXPECT_EQ(list.variants[0].audioGroup, "aac");
    EXPECT_EQ(list.variants[0].subtitlesGroup, "subs");
    // The default of the group wins over the first; its address is joined to the master's.
    const Rendition* sound = audioRenditionOf(list, list.variants[0]);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->address, "http://h/v/audio/de.m3u8");
    EXPECT_EQ(sound->language, "de");
    EXPECT_EQ(sound->name, "Deutsch");
    // A rendition without a playlist is the variant's own sound; an unknown group is none.
    EXPECT_EQ(audioRenditionOf(list, list.variants[1]), nullptr);
    EXPECT_EQ(audioRenditionOf(list, list.variants[2]), nullptr);
    const auto subtitles = subtitleRenditionsOf(list, list.variants[0]);
    ASSERT_EQ(subtitles.size(), 2u);
    EXPECT_EQ(subtitles[1]->address, "http://h/v/subs/fr.m3u8");
    EXPECT_EQ(subtitles[1]->language, "fr");
    EXPECT_TRUE(subtitleRenditionsOf(list, list.variants[1]).empty());
    EXPECT_EQ(bestVariant(list), &list.variants[0]);
}
