#include "encoder/help_text.h"

#include "encoder/amr_mode.h"
#include "encoder/codec_table.h"
#include "encoder/container_table.h"

namespace zenvira::encoder {

namespace {

constexpr const char* kUsage = R"(usage: avformat.dll -i SOURCE [OPTIONS] DESTINATION
       avformat.dll --print -i SOURCE [OPTIONS] DESTINATION   (show the ffmpeg runs, run nothing)
       avformat.dll --help

Takes the FFmpeg options of 2009 that Zenvira's output profiles use, turns them into
options of the installed FFmpeg and runs it (no shell). ffmpeg is $ZENVIRA_FFMPEG when set,
else ffmpeg on PATH; ffprobe is the one beside it, else on PATH. FFmpeg's output is this
program's output. Exit status: FFmpeg's; 2 for a command line that cannot be taken, with
the reason on standard error; 1 when FFmpeg cannot be found or run. SIGTERM, SIGINT and
SIGHUP are passed on to FFmpeg; FFmpeg is killed if this program dies.

Options (always added: -hide_banner -nostdin):
  -i SOURCE       -i SOURCE
  -y              -y
  -b N            -b:v Nk        rates, tolerance and buffer are in kbit/s (kbit); a value
  -ab N           -b:a Nk        that already ends in k or M is taken as written
  -bt N           -bt Nk
  -maxrate N      -maxrate Nk
  -bufsize N      -bufsize Nk
  -s WxH          -s WxH         brought down to the sizes the encoder takes (see below)
  -r R            -r R           29.97 -> 30000/1001, 23.976 and 23.98 -> 24000/1001,
                                 59.94 -> 60000/1001, 14.985 -> 15000/1001
  -g N            -g N
  -aspect A       -aspect A
  -vtag T         -tag:v T
  -atag T         -tag:a T
  -ar N           -ar N          kept as asked (41000 Hz stays 41000 Hz)
  -ac N           -ac N
  -f NAME         -f NAME        chooses the container; else the destination's extension
  -target NAME    -target NAME   no container or codec is chosen for it then
  -vcodec NAME    -c:v ENCODER   see the codec names below
  -acodec NAME    -c:a ENCODER
  -deinterlace    -vf yadif      (first in the filter chain)
  -sameq          -q:v 2         a high constant quality; libx264: -crf 18. Either way
                                 the bit rate (-b) is left out: the quality decides.
  -qscale Q       -q:v Q         fixed quantiser; the bit rate is left out. libx264:
                                 -qp Q when no -b is given; with -b it is left out (the
                                 bit rate and its -maxrate/-bufsize limits decide).

Sizes: with no -s, a picture whose sides the encoder cannot take is scaled down to the
nearest it can (-vf scale=trunc(iw/M)*M:trunc(ih/M)*M, M as listed below); with -s the
size is brought down to a multiple of M.

AMR-NB (amr_nb): the installed FFmpeg has no AMR-NB encoder, so this program makes it
with libopencore-amrnb. ffmpeg decodes the source's audio to 8000 Hz mono PCM, this
program encodes it into an AMR stream ("#!AMR\n" and frames) and hands it through a pipe
to a second ffmpeg (-f amr -i pipe:3), which muxes it with the picture (-c:a copy), all
at the same time. ffprobe tells first whether the source has sound at all. AMR-NB is
8000 Hz mono only: another -ar or -ac is refused. -ab picks the highest AMR-NB rate not
above it (12.2 kbit/s when none is given, so 48 -> 12.2).
)";

std::string codecLines(MediaKind kind) {
    std::string lines;
    for (const auto& codec : codecTable()) {
        if (codec.kind != kind) continue;
        std::string line = "  " + std::string(codec.oldName);
        line.resize(22, ' ');
        line += isFrontEncoded(codec) ? std::string("AMR-NB made by this program") : std::string(codec.encoder);
        if (codec.sizeMultiple > 1) {
            line.resize(40, ' ');
            line += "sides multiple of " + std::to_string(codec.sizeMultiple);
        }
        lines += line + "\n";
    }
    return lines;
}

std::string containerLines() {
    std::string lines;
    for (const auto& container : containerTable()) {
        std::string line = "  " + std::string(container.extensions);
        line.resize(14, ' ');
        line += std::string(container.muxer);
        line.resize(25, ' ');
        line += container.defaultVideo.empty() ? std::string("audio only (-vn)") : std::string(container.defaultVideo);
        line.resize(44, ' ');
        line += std::string(container.defaultAudio);
        if (!container.fallback.empty())
            line += "\n                takes " + std::string(container.acceptedVideo) + " video and " +
                    std::string(container.acceptedAudio) +
                    " audio;\n                other codecs (e.g. mpeg4 + aac) go into " +
                    std::string(container.fallback) + " under the same name";
        else if (!container.acceptedAudio.empty())
            line += "\n                takes only " + std::string(container.acceptedVideo) + " video and " +
                    std::string(container.acceptedAudio) + " audio";
        lines += line + "\n";
    }
    return lines;
}

}  // namespace

std::string helpText() {
    std::string text = kUsage;
    text += "\nVideo codec names:\n" + codecLines(MediaKind::Video);
    text += "\nAudio codec names:\n" + codecLines(MediaKind::Audio);
    text += "Other names go to FFmpeg as they are.\n";
    text += "\nAMR-NB rates (kbit/s):";
    for (const auto& mode : amrModes()) text += " " + std::string(mode.label);
    text += "\n";
    text += "\nContainers by extension (or -f muxer), with the codecs taken when none is named:\n";
    text += "  extension   muxer      video              audio\n";
    text += containerLines();
    text += "An extension not listed: FFmpeg chooses the container and codecs.\n";
    return text;
}

}  // namespace zenvira::encoder
