#pragma once
// Media of today's web made with the installed ffmpeg at test time: progressive MP4
// (H.264 and AAC, index first) and WebM (VP8 and Opus), and HLS ladders of 2-second
// segments, MPEG-TS or fMP4, plain or AES-128.
#include <QString>

#include <vector>

namespace zenvira::testmedia {

enum class WebFormat { Mp4, WebM };

// Writes a clip of a test pattern and a tone; false when ffmpeg is missing or fails.
bool makeWebClip(const QString& path, WebFormat format, int width, int height, double seconds);

struct HlsVariantShape {
    int width = 0, height = 0;
    bool fmp4 = false;       // fMP4 segments after an init section instead of MPEG-TS
    bool encrypted = false;  // AES-128 with the key at "<variant>/key.bin", named relatively
};

struct HlsLadderShape {
    std::vector<HlsVariantShape> variants;
    double seconds = 6;
    double segmentSeconds = 2;
    // The variants are video alone; the sound is an EXT-X-MEDIA audio rendition of its own
    // ("audio/index.m3u8", fMP4 when the first variant is), and English subtitles are a
    // rendition of two WebVTT segments ("subs/en.m3u8": cues "First words", "Last words").
    bool audioApart = false;
};

// Writes `folder`/master.m3u8 and one folder per variant ("<height>p/index.m3u8" and its
// segments). False when ffmpeg is missing or fails.
bool makeHlsLadder(const QString& folder, const HlsLadderShape& ladder);

// A DASH presentation made by ffmpeg's own dash muxer: `folder`/manifest.mpd with a video
// representation per height (H.264) and one of sound (AAC), in fragments of `segmentSeconds`.
// SingleFile: one file per representation, its fragments a SegmentList of byte ranges;
// IndexedFile: the same files described by SegmentBase, their fragments listed in a sidx box.
enum class DashShape { Template, Timeline, List, SingleFile, IndexedFile };
bool makeDashSet(const QString& folder, DashShape shape, const std::vector<int>& heights, double seconds,
                 double segmentSeconds = 2);

// The file that the given representation's initialisation and fragments make read back to
// back, as a player reads them: written once beside them as "track-ID.mp4". `fragments`
// (0: all) is how many the manifest names: a template of durations names as many as the
// period's length holds, where ffmpeg may write a last sliver of sound beyond them.
QString dashTrackFile(const QString& folder, int representation, int fragments = 0);

// A track alone, as a site serving video and sound apart keeps it: H.264 video without
// sound, or AAC sound alone (in MP4), or VP9 / Opus alone (in WebM).
enum class TrackMedia { H264Video, AacAudio, Vp9Video, OpusAudio };
bool makeTrackFile(const QString& path, TrackMedia media, int height, double seconds);

// The MD5 of every packet of the file's video ("v") or audio ("a") streams, in order, by ffprobe.
std::vector<std::string> packetHashes(const QString& path, const char* streams);

}  // namespace zenvira::testmedia
