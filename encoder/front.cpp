#include "encoder/front.h"

#include <iostream>

#include "encoder/amr_nb_encoder.h"
#include "encoder/amr_stream.h"
#include "platform/relayed_child.h"
#include "encoder/help_text.h"
#include "encoder/option_translation.h"
#include "platform/program_lookup.h"
#include "encoder/source_probe.h"
#include "encoder/staged_output.h"

namespace zenvira::encoder {

using platform::relay::ChildInputPipe;
using platform::relay::ChildProcess;
using platform::relay::kChildInputNumber;
using platform::findFfmpeg;
using platform::findFfprobe;
using platform::relay::forwardStopSignals;
using platform::relay::stopSignalReceived;

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kCannotRun = 1;

ChildEnd fail(int status, const std::string& reason) {
    std::cerr << "avformat.dll: " << reason << "\n";
    return ChildEnd{status, 0};
}

bool failed(const ChildEnd& end) { return end.signal != 0 || end.exitCode != 0; }

bool plainWord(const std::string& word) {
    return !word.empty() && word.find_first_not_of(
                                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                "0123456789-_./:=,+%@") == std::string::npos;
}

// One run as a shell would need it written, for --print.
std::string shellLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = program;
    for (const auto& arg : args) {
        line += ' ';
        if (plainWord(arg)) {
            line += arg;
            continue;
        }
        line += '\'';
        for (const char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

ChildEnd printPlan(const std::string& ffmpeg, const EncoderPlan& plan) {
    if (plan.amrAudio) {
        std::cout << shellLine(ffmpeg, plan.amrAudio->decodeArgs) << " | (AMR-NB " << plan.amrAudio->mode->label
                  << " kbit/s) | ";
    }
    std::cout << shellLine(ffmpeg, plan.ffmpegArgs) << "\n";
    return {};
}

// Asked to stop between two runs: the front ends by that signal instead of starting the next.
bool stopped(ChildEnd& end) {
    end = ChildEnd{0, stopSignalReceived()};
    return end.signal != 0;
}

ChildEnd runFfmpeg(const std::string& ffmpeg, const std::vector<std::string>& args) {
    ChildEnd end;
    if (stopped(end)) return end;
    ChildProcess child;
    std::string error;
    if (!child.start(ffmpeg, args, false, error)) return fail(kCannotRun, error);
    return child.wait();
}

// The first failure of the two, the muxer's first: when it fails the decoder only loses its
// reader. A conversion that ends well ends like the muxer.
ChildEnd firstFailure(const ChildEnd& muxer, const ChildEnd& decoder, const AmrStreamResult& written) {
    if (failed(muxer)) return muxer;
    if (failed(decoder)) return decoder;
    if (!written.ok) return fail(kCannotRun, written.error);
    return muxer;
}

// Three at once: ffmpeg decodes the source's audio to PCM for this front, which encodes it
// to AMR-NB into a pipe, from which a second ffmpeg muxes it with the picture. The audio is
// made while the picture is encoded.
ChildEnd runWithAmrAudio(const std::string& ffmpeg, const EncoderPlan& plan) {
    ChildEnd end;
    if (stopped(end)) return end;
    std::string error;
    ChildProcess decoder;
    if (!decoder.start(ffmpeg, plan.amrAudio->decodeArgs, true, error)) return fail(kCannotRun, error);
    ChildInputPipe amrStream;
    ChildProcess muxer;
    if (!amrStream.open(error) || !muxer.start(ffmpeg, plan.ffmpegArgs, false, error, &amrStream))
        return fail(kCannotRun, error);
    AmrStreamResult written = writeAmrStream(decoder.output(), amrStream.writer(), *plan.amrAudio->mode);
    if (!amrStream.closeWriter() && written.ok)
        written = {false, written.frames, "cannot hand the AMR stream to ffmpeg"};
    decoder.closeOutput();
    const ChildEnd decoded = decoder.wait();
    return firstFailure(muxer.wait(), decoded, written);
}

// Learns what the source holds, for a conversion whose audio this front makes.
TranslationContext probedContext(const std::string& ffmpeg, const LegacyCommand& command, std::string& error) {
    TranslationContext context;
    context.amrStreamPath = "pipe:" + std::to_string(kChildInputNumber);
    const std::string ffprobe = findFfprobe(ffmpeg, error);
    if (ffprobe.empty()) return context;
    if (const auto streams = probeSource(ffprobe, command.input)) {
        context.sourceHasVideo = streams->video;
        context.sourceHasAudio = streams->audio;
    }
    return context;
}

ChildEnd usage() {
    std::cerr << "usage: avformat.dll -i SOURCE [OPTIONS] DESTINATION   (avformat.dll --help for more)\n";
    return ChildEnd{kBadCommandLine, 0};
}

ChildEnd convert(const std::string& ffmpeg, const LegacyCommand& command, bool printOnly) {
    const TranslationContext unprobed{.amrStreamPath = "pipe:" + std::to_string(kChildInputNumber)};
    Translation translation = translateCommand(command, unprobed);
    if (!translation.ok) return fail(kBadCommandLine, translation.error);
    if (printOnly) return printPlan(ffmpeg, translation.plan);
    if (!translation.plan.amrAudio) return runFfmpeg(ffmpeg, translation.plan.ffmpegArgs);
    if (!AmrNbEncoder::available())
        return fail(kCannotRun, "this build has no AMR-NB encoder (the opencore-amrnb library)");
    std::string error;
    const TranslationContext probed = probedContext(ffmpeg, command, error);
    if (!error.empty()) return fail(kCannotRun, error);
    translation = translateCommand(command, probed);
    if (!translation.ok) return fail(kBadCommandLine, translation.error);
    if (!translation.plan.amrAudio) return runFfmpeg(ffmpeg, translation.plan.ffmpegArgs);
    return runWithAmrAudio(ffmpeg, translation.plan);
}

// The conversion writes under a temporary name that becomes the output only on success.
// Without -y an existing output is refused, as FFmpeg refuses it.
ChildEnd convertStaged(const std::string& ffmpeg, LegacyCommand command) {
    if (!command.overwrite && outputExists(command.output))
        return fail(kCannotRun, "'" + command.output + "' already exists (-y replaces it)");
    StagedOutput staged(command.output);
    command.output = staged.writePath();
    command.overwrite = true;  // the temporary name is this run's own
    const ChildEnd end = convert(ffmpeg, command, false);
    if (failed(end)) return end;
    std::string error;
    if (!staged.commit(error)) return fail(kCannotRun, error);
    return end;
}

}  // namespace

ChildEnd runFront(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << helpText();
        return {};
    }
    const bool printOnly = args[0] == "--print";
    const auto parsed = parseLegacyCommand(printOnly ? std::vector<std::string>(args.begin() + 1, args.end()) : args);
    if (!parsed.ok) return fail(kBadCommandLine, parsed.error);
    std::string error;
    const std::string ffmpeg = findFfmpeg(error);
    if (ffmpeg.empty()) return fail(kCannotRun, error);
    forwardStopSignals();
    return printOnly ? convert(ffmpeg, parsed.command, true) : convertStaged(ffmpeg, parsed.command);
}

}  // namespace zenvira::encoder
