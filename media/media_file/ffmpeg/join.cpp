#include "media/media_file/ffmpeg/ffmpeg_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace zenvira::components::ffmpeg {

namespace {

// A read is at most this long, so that a slow piece is asked about a stop often enough.
constexpr std::size_t kLongestRead = 64 * 1024;

// The pieces read back to back, as one stream.
struct PieceReader {
    const std::vector<std::string>* pieces = nullptr;
    const JoinCancelled* cancelled = nullptr;
    std::size_t next = 0;
    std::FILE* file = nullptr;
    bool failed = false;
    bool stopped = false;
    std::string failedPiece;

    bool stopAsked() {
        if (!stopped && *cancelled && (*cancelled)()) stopped = true;
        return stopped;
    }

    ~PieceReader() {
        if (file) std::fclose(file);
    }
};

int readPieces(void* opaque, std::uint8_t* buffer, int size) {
    auto& reader = *static_cast<PieceReader*>(opaque);
    while (true) {
        if (reader.stopAsked()) return AVERROR_EXIT;
        if (!reader.file) {
            if (reader.next >= reader.pieces->size()) return AVERROR_EOF;
            const std::string& path = (*reader.pieces)[reader.next++];
            reader.file = std::fopen(path.c_str(), "rb");
            if (!reader.file) {
                reader.failed = true;
                reader.failedPiece = path;
                return AVERROR(EIO);
            }
        }
        const std::size_t n =
            std::fread(buffer, 1, std::min(static_cast<std::size_t>(size), kLongestRead), reader.file);
        if (n > 0) return static_cast<int>(n);
        std::fclose(reader.file);
        reader.file = nullptr;
    }
}

std::string avText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct InputDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputDeleter {
    void operator()(AVFormatContext* c) const {
        if (c->pb) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct IoDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// FFmpeg asks this between its own steps (probing the streams, waiting on input).
int interrupted(void* opaque) { return static_cast<PieceReader*>(opaque)->stopAsked() ? 1 : 0; }

JoinResult joinPieces(PieceReader& reader, const std::string& output) {
    JoinResult result;
    constexpr int kBuffer = 256 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
    if (!buffer) return {false, "Out of memory while joining the segments"};
    std::unique_ptr<AVIOContext, IoDeleter> io(avio_alloc_context(buffer, kBuffer, 0, &reader, readPieces, nullptr, nullptr));
    if (!io) {
        av_free(buffer);
        return {false, "Out of memory while joining the segments"};
    }
    AVFormatContext* rawIn = avformat_alloc_context();
    rawIn->pb = io.get();
    rawIn->flags |= AVFMT_FLAG_CUSTOM_IO;
    rawIn->interrupt_callback = AVIOInterruptCB{interrupted, &reader};
    if (int rc = avformat_open_input(&rawIn, nullptr, nullptr, nullptr); rc < 0)
        return {false, "The segments are not a video FFmpeg can read (" + avText(rc) + ")"};
    std::unique_ptr<AVFormatContext, InputDeleter> in(rawIn);
    if (int rc = avformat_find_stream_info(in.get(), nullptr); rc < 0)
        return {false, "The segments' streams could not be read (" + avText(rc) + ")"};
    if (reader.stopped) return result;  // what was read of the streams so far says too little

    AVFormatContext* rawOut = nullptr;
    if (int rc = avformat_alloc_output_context2(&rawOut, nullptr, "mp4", output.c_str()); rc < 0 || !rawOut)
        return {false, "Could not set up the MP4 file (" + avText(rc) + ")"};
    std::unique_ptr<AVFormatContext, OutputDeleter> out(rawOut);

    // Audio and video go across; data streams (ID3 timed metadata and the like) cannot go into MP4.
    std::vector<int> outIndex(in->nb_streams, -1);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters* par = in->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO &&
            par->codec_type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        if (par->codec_type == AVMEDIA_TYPE_SUBTITLE && par->codec_id != AV_CODEC_ID_MOV_TEXT) continue;
        AVStream* stream = avformat_new_stream(out.get(), nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0)
            return {false, "Out of memory while joining the segments"};
        stream->codecpar->codec_tag = 0;
        outIndex[i] = stream->index;
    }
    if (out->nb_streams == 0) return {false, "The segments hold neither video nor sound"};
    if (int rc = avio_open(&out->pb, output.c_str(), AVIO_FLAG_WRITE); rc < 0)
        return {false, "Could not write " + output + " (" + avText(rc) + ")"};
    out->avoid_negative_ts = AVFMT_AVOID_NEG_TS_MAKE_ZERO;
    if (int rc = avformat_write_header(out.get(), nullptr); rc < 0)
        return {false, "Could not start the MP4 file (" + avText(rc) + ")"};

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::int64_t lastEnd = 0;
    while (!reader.stopAsked()) {
        const int rc = av_read_frame(in.get(), packet.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0) {
            if (reader.failed) return {false, "A segment went missing: " + reader.failedPiece};
            return {false, "The segments could not be read to their end (" + avText(rc) + ")"};
        }
        const int target = outIndex[static_cast<std::size_t>(packet->stream_index)];
        if (target < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        AVStream* inStream = in->streams[packet->stream_index];
        AVStream* outStream = out->streams[target];
        av_packet_rescale_ts(packet.get(), inStream->time_base, outStream->time_base);
        packet->stream_index = target;
        packet->pos = -1;
        if (packet->pts != AV_NOPTS_VALUE)
            lastEnd = std::max(lastEnd, av_rescale_q(packet->pts + packet->duration, outStream->time_base, AV_TIME_BASE_Q));
        if (int wrc = av_interleaved_write_frame(out.get(), packet.get()); wrc < 0)
            return {false, "Could not write the MP4 file (" + avText(wrc) + ")"};
    }
    if (reader.stopped) return result;
    if (int rc = av_write_trailer(out.get()); rc < 0) return {false, "Could not finish the MP4 file (" + avText(rc) + ")"};
    if (int rc = avio_closep(&out->pb); rc < 0) return {false, "Could not write " + output + " (" + avText(rc) + ")"};
    result.ok = true;
    result.seconds = static_cast<double>(lastEnd) / AV_TIME_BASE;
    return result;
}

// One track of a join: its pieces read as one stream, and the packet read ahead of the others.
struct TrackInput {
    PieceReader reader;
    std::unique_ptr<AVIOContext, IoDeleter> io;  // declared before `in`: the input goes first
    std::unique_ptr<AVFormatContext, InputDeleter> in;
    std::vector<int> outIndex;
    std::unique_ptr<AVPacket, PacketDeleter> next{av_packet_alloc()};
    bool ended = false;
};

std::optional<std::string> openTrack(TrackInput& track) {
    constexpr int kBuffer = 256 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
    if (!buffer) return "Out of memory while joining the tracks";
    track.io.reset(avio_alloc_context(buffer, kBuffer, 0, &track.reader, readPieces, nullptr, nullptr));
    if (!track.io) {
        av_free(buffer);
        return "Out of memory while joining the tracks";
    }
    AVFormatContext* rawIn = avformat_alloc_context();
    rawIn->pb = track.io.get();
    rawIn->flags |= AVFMT_FLAG_CUSTOM_IO;
    rawIn->interrupt_callback = AVIOInterruptCB{interrupted, &track.reader};
    if (int rc = avformat_open_input(&rawIn, nullptr, nullptr, nullptr); rc < 0)
        return "A track is not a video or a sound FFmpeg can read (" + avText(rc) + ")";
    track.in.reset(rawIn);
    if (int rc = avformat_find_stream_info(track.in.get(), nullptr); rc < 0)
        return "A track's streams could not be read (" + avText(rc) + ")";
    return std::nullopt;
}

// Reads the track's next packet of a stream that goes across; false at its end.
std::optional<std::string> readAhead(TrackInput& track) {
    while (!track.ended) {
        const int rc = av_read_frame(track.in.get(), track.next.get());
        if (rc == AVERROR_EOF) {
            track.ended = true;
            break;
        }
        if (rc < 0) {
            if (track.reader.failed) return "A piece of a track went missing: " + track.reader.failedPiece;
            if (track.reader.stopped) return std::nullopt;
            return "A track could not be read to its end (" + avText(rc) + ")";
        }
        if (track.outIndex[static_cast<std::size_t>(track.next->stream_index)] >= 0) return std::nullopt;
        av_packet_unref(track.next.get());
    }
    return std::nullopt;
}

// Where the packet read ahead stands on the common timeline.
std::int64_t aheadTime(const TrackInput& track) {
    const AVPacket* packet = track.next.get();
    const std::int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (ts == AV_NOPTS_VALUE) return INT64_MIN;
    return av_rescale_q(ts, track.in->streams[packet->stream_index]->time_base, AV_TIME_BASE_Q);
}

const char* muxerOf(const std::string& container) {
    if (container == "webm") return "webm";
    if (container == "mkv") return "matroska";
    return "mp4";
}

JoinResult joinTrackInputs(std::vector<std::unique_ptr<TrackInput>>& tracks, const std::string& output,
                           const std::string& container) {
    JoinResult result;
    for (auto& track : tracks) {
        if (auto problem = openTrack(*track)) return {false, *problem};
        if (track->reader.stopped) return result;
    }
    AVFormatContext* rawOut = nullptr;
    if (int rc = avformat_alloc_output_context2(&rawOut, nullptr, muxerOf(container), output.c_str());
        rc < 0 || !rawOut)
        return {false, "Could not set up the " + container + " file (" + avText(rc) + ")"};
    std::unique_ptr<AVFormatContext, OutputDeleter> out(rawOut);
    for (auto& track : tracks) {
        track->outIndex.assign(track->in->nb_streams, -1);
        for (unsigned i = 0; i < track->in->nb_streams; ++i) {
            const AVCodecParameters* par = track->in->streams[i]->codecpar;
            if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
            if (avformat_query_codec(out->oformat, par->codec_id, FF_COMPLIANCE_NORMAL) != 1)
                return {false, std::string("A ") + container + " file cannot hold the codec " +
                                   avcodec_get_name(par->codec_id) + " of a track"};
            AVStream* stream = avformat_new_stream(out.get(), nullptr);
            if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0)
                return {false, "Out of memory while joining the tracks"};
            stream->codecpar->codec_tag = 0;
            track->outIndex[i] = stream->index;
        }
    }
    if (out->nb_streams == 0) return {false, "The tracks hold neither video nor sound"};
    if (int rc = avio_open(&out->pb, output.c_str(), AVIO_FLAG_WRITE); rc < 0)
        return {false, "Could not write " + output + " (" + avText(rc) + ")"};
    out->avoid_negative_ts = AVFMT_AVOID_NEG_TS_MAKE_ZERO;
    if (int rc = avformat_write_header(out.get(), nullptr); rc < 0)
        return {false, "Could not start the " + container + " file (" + avText(rc) + ")"};

    const auto anyStopped = [&] {
        return std::any_of(tracks.begin(), tracks.end(), [](const auto& t) { return t->reader.stopAsked(); });
    };
    for (auto& track : tracks)
        if (auto problem = readAhead(*track)) return {false, *problem};
    std::int64_t lastEnd = 0;
    // The earliest packet of all tracks goes next, so the muxer never holds a whole track.
    while (!anyStopped()) {
        TrackInput* earliest = nullptr;
        for (auto& track : tracks)
            if (!track->ended && (!earliest || aheadTime(*track) < aheadTime(*earliest))) earliest = track.get();
        if (!earliest) break;
        AVPacket* packet = earliest->next.get();
        const int target = earliest->outIndex[static_cast<std::size_t>(packet->stream_index)];
        AVStream* inStream = earliest->in->streams[packet->stream_index];
        AVStream* outStream = out->streams[target];
        av_packet_rescale_ts(packet, inStream->time_base, outStream->time_base);
        packet->stream_index = target;
        packet->pos = -1;
        if (packet->pts != AV_NOPTS_VALUE)
            lastEnd =
                std::max(lastEnd, av_rescale_q(packet->pts + packet->duration, outStream->time_base, AV_TIME_BASE_Q));
        if (int wrc = av_interleaved_write_frame(out.get(), packet); wrc < 0)
            return {false, "Could not write the " + container + " file (" + avText(wrc) + ")"};
        if (auto problem = readAhead(*earliest)) return {false, *problem};
    }
    if (anyStopped()) return result;
    if (int rc = av_write_trailer(out.get()); rc < 0)
        return {false, "Could not finish the " + container + " file (" + avText(rc) + ")"};
    if (int rc = avio_closep(&out->pb); rc < 0) return {false, "Could not write " + output + " (" + avText(rc) + ")"};
    result.ok = true;
    result.seconds = static_cast<double>(lastEnd) / AV_TIME_BASE;
    return result;
}

}  // namespace

JoinResult join(const std::vector<std::string>& pieces, const std::string& output, const JoinCancelled& cancelled) {
    av_log_set_level(AV_LOG_ERROR);
    PieceReader reader;
    reader.pieces = &pieces;
    reader.cancelled = &cancelled;
    JoinResult result = joinPieces(reader, output);
    // Whatever step the stop ended, the file it leaves is no video: it goes.
    if (!reader.stopped) return result;
    std::error_code ignored;
    std::filesystem::remove(output, ignored);
    return {false, kJoinStoppedText, 0, true};
}

}  // namespace zenvira::components::ffmpeg

namespace zenvira::components::ffmpeg {

JoinResult joinTracks(const std::vector<std::vector<std::string>>& pieces, const std::string& output,
                      const std::string& container, const JoinCancelled& cancelled) {
    av_log_set_level(AV_LOG_ERROR);
    std::vector<std::unique_ptr<TrackInput>> tracks;
    for (const auto& list : pieces) {
        auto track = std::make_unique<TrackInput>();
        track->reader.pieces = &list;
        track->reader.cancelled = &cancelled;
        tracks.push_back(std::move(track));
    }
    JoinResult result = joinTrackInputs(tracks, output, container);
    const bool stopped = std::any_of(tracks.begin(), tracks.end(), [](const auto& t) { return t->reader.stopped; });
    tracks.clear();
    if (!stopped) return result;
    std::error_code ignored;
    std::filesystem::remove(output, ignored);
    return {false, kJoinStoppedText, 0, true};
}

}  // namespace zenvira::components::ffmpeg
