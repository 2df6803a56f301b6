#include "media/media_file/ffmpeg/ffmpeg_module.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace zenvira::components::ffmpeg {

namespace {

struct MemoryReader {
    std::string_view bytes;
    std::size_t pos = 0;
};

int readMemory(void* opaque, std::uint8_t* buffer, int size) {
    auto& reader = *static_cast<MemoryReader*>(opaque);
    const std::size_t left = reader.bytes.size() - reader.pos;
    if (left == 0) return AVERROR_EOF;
    const std::size_t n = std::min(left, static_cast<std::size_t>(size));
    std::memcpy(buffer, reader.bytes.data() + reader.pos, n);
    reader.pos += n;
    return static_cast<int>(n);
}

std::int64_t seekMemory(void* opaque, std::int64_t offset, int whence) {
    auto& reader = *static_cast<MemoryReader*>(opaque);
    const auto size = static_cast<std::int64_t>(reader.bytes.size());
    if (whence == AVSEEK_SIZE) return size;
    std::int64_t target = offset;
    if ((whence & 3) == SEEK_CUR) target += static_cast<std::int64_t>(reader.pos);
    else if ((whence & 3) == SEEK_END) target += size;
    if (target < 0 || target > size) return AVERROR(EINVAL);
    reader.pos = static_cast<std::size_t>(target);
    return target;
}

}  // namespace

MediaFacts probe(std::string_view bytes) {
    MediaFacts facts;
    if (bytes.empty()) return facts;
    av_log_set_level(AV_LOG_QUIET);
    MemoryReader reader{bytes, 0};
    constexpr int kBuffer = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
    if (!buffer) return facts;
    AVIOContext* io = avio_alloc_context(buffer, kBuffer, 0, &reader, readMemory, nullptr, seekMemory);
    if (!io) {
        av_free(buffer);
        return facts;
    }
    AVFormatContext* format = avformat_alloc_context();
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->probesize = static_cast<std::int64_t>(bytes.size());
    if (avformat_open_input(&format, nullptr, nullptr, nullptr) == 0) {
        facts.recognised = true;
        // A prefix may end inside a packet: what the header says is enough.
        format->max_analyze_duration = 2 * AV_TIME_BASE;
        avformat_find_stream_info(format, nullptr);
        bool webm = format->nb_streams > 0;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVCodecParameters* par = format->streams[i]->codecpar;
            if (par->codec_type == AVMEDIA_TYPE_VIDEO && facts.height == 0) {
                facts.width = par->width;
                facts.height = par->height;
            }
            const bool webmCodec = par->codec_id == AV_CODEC_ID_VP8 || par->codec_id == AV_CODEC_ID_VP9 ||
                                   par->codec_id == AV_CODEC_ID_AV1 || par->codec_id == AV_CODEC_ID_VORBIS ||
                                   par->codec_id == AV_CODEC_ID_OPUS;
            if ((par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO) && !webmCodec) webm = false;
        }
        facts.container = extensionOfFormat(format->iformat->name, webm);
        avformat_close_input(&format);
    }  // a failed open has freed the context itself
    av_freep(&io->buffer);
    avio_context_free(&io);
    return facts;
}

}  // namespace zenvira::components::ffmpeg
