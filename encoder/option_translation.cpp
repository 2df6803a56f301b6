#include "encoder/option_translation.h"

#include "encoder/codec_table.h"
#include "encoder/container_table.h"
#include "encoder/legacy_values.h"
#include "encoder/value_syntax.h"

namespace zenvira::encoder {

namespace {

using Args = std::vector<std::string>;

// What the conversion writes: the muxer and the codec of each kind (nullopt: none, or
// FFmpeg's own choice when the container is unknown).
struct OutputChoice {
    const ContainerEntry* container = nullptr;
    std::string muxer;       // empty: FFmpeg picks it from the destination's name
    bool audioOnly = false;  // the container holds no picture: -vn
    std::optional<CodecEntry> video;
    std::optional<CodecEntry> audio;
};

// A name the table does not know goes to FFmpeg as it is; FFmpeg says if it has no such encoder.
CodecEntry codecFor(std::string_view oldName, MediaKind kind) {
    if (const CodecEntry* known = findCodec(oldName, kind)) return *known;
    const auto quality = kind == MediaKind::Video ? QualityControl::QuantiserScale : QualityControl::None;
    return CodecEntry{oldName, oldName, kind, quality, 1};
}

std::optional<CodecEntry> chosenCodec(std::string_view named, std::string_view containerDefault, MediaKind kind) {
    if (!named.empty()) return codecFor(named, kind);
    if (!containerDefault.empty()) return codecFor(containerDefault, kind);
    return std::nullopt;
}

std::string_view encoderName(const CodecEntry& codec) { return isFrontEncoded(codec) ? codec.oldName : codec.encoder; }

bool holds(std::string_view accepted, const std::optional<CodecEntry>& codec) {
    return !codec || listAccepts(accepted, encoderName(*codec));
}

// The container can hold the codecs, or the one it falls back to under the same name does.
std::string fitContainer(OutputChoice& choice, bool fromExtension) {
    const ContainerEntry* container = choice.container;
    if (!container) return {};
    const bool videoFits = holds(container->acceptedVideo, choice.video);
    const bool audioFits = holds(container->acceptedAudio, choice.audio);
    if (videoFits && audioFits) return {};
    if (fromExtension && !container->fallback.empty()) {
        choice.muxer = container->fallback;
        return {};
    }
    const CodecEntry& misfit = videoFits ? *choice.audio : *choice.video;
    return "the " + std::string(container->muxer) + " container cannot hold " + std::string(encoderName(misfit)) +
           " (it takes " + std::string(videoFits ? container->acceptedAudio : container->acceptedVideo) + ")";
}

std::string chooseOutput(const LegacyCommand& command, const TranslationContext& context, OutputChoice& choice) {
    const bool fromExtension = command.format.empty();
    if (!fromExtension) {
        choice.container = containerForMuxer(command.format);
        choice.muxer = command.format;
    } else if (command.target.empty()) {
        choice.container = containerForPath(command.output);
        if (choice.container) choice.muxer = choice.container->muxer;
    }
    const ContainerEntry* container = choice.container;
    choice.audioOnly = container && isAudioOnly(*container);
    if (!choice.audioOnly && context.sourceHasVideo)
        choice.video = chosenCodec(command.videoCodec, container ? container->defaultVideo : "", MediaKind::Video);
    if (context.sourceHasAudio)
        choice.audio = chosenCodec(command.audioCodec, container ? container->defaultAudio : "", MediaKind::Audio);
    return fitContainer(choice, fromExtension);
}

void addKbit(Args& args, std::string_view option, const std::string& value) {
    if (value.empty()) return;
    args.insert(args.end(), {std::string(option), *kbitValue(value)});
}

void addIfGiven(Args& args, std::string_view option, const std::string& value) {
    if (!value.empty()) args.insert(args.end(), {std::string(option), value});
}

// Deinterlacing first, then, when no size is asked, the picture brought to the sizes the
// encoder takes (a 426x240 source for rv20 becomes 424x240).
void addVideoFilters(Args& args, const LegacyCommand& command, const CodecEntry& codec) {
    std::string filters;
    if (command.deinterlace) filters = "yadif";
    if (command.frameSize.empty() && codec.sizeMultiple > 1) {
        const std::string m = std::to_string(codec.sizeMultiple);
        if (!filters.empty()) filters += ",";
        filters += "scale=trunc(iw/" + m + ")*" + m + ":trunc(ih/" + m + ")*" + m;
    }
    if (!filters.empty()) args.insert(args.end(), {"-vf", filters});
}

void addFrameSize(Args& args, const LegacyCommand& command, const CodecEntry& codec) {
    if (command.frameSize.empty()) return;
    const auto size = parseFrameSize(command.frameSize);
    if (!size) {
        args.insert(args.end(), {"-s", command.frameSize});  // a size name FFmpeg knows
        return;
    }
    const FrameSize fitted = roundDown(*size, codec.sizeMultiple);
    args.insert(args.end(), {"-s", std::to_string(fitted.width) + "x" + std::to_string(fitted.height)});
}

// -sameq asked for the source's own quantiser, which no encoder offers any more: a high
// constant quality stands for it. A constant quality and a bit rate exclude each other, and
// the quality wins, as it did. libx264 never read -qscale while a bit rate was set.
void addQualityAndBitrate(Args& args, const LegacyCommand& command, const CodecEntry& codec) {
    bool constantQuality = false;
    if (codec.quality == QualityControl::QuantiserScale) {
        if (command.sameQuality)
            args.insert(args.end(), {"-q:v", "2"});
        else if (!command.quantiserScale.empty())
            args.insert(args.end(), {"-q:v", command.quantiserScale});
        constantQuality = command.sameQuality || !command.quantiserScale.empty();
    } else if (codec.quality == QualityControl::RateFactor) {
        if (command.sameQuality) {
            args.insert(args.end(), {"-crf", "18"});
        } else if (!command.quantiserScale.empty() && command.videoBitrate.empty()) {
            args.insert(args.end(), {"-qp", std::to_string(static_cast<int>(std::stod(command.quantiserScale) + 0.5))});
        }
        constantQuality = command.sameQuality;
    }
    if (!constantQuality) addKbit(args, "-b:v", command.videoBitrate);
}

void addVideo(Args& args, const LegacyCommand& command, const CodecEntry& codec) {
    args.insert(args.end(), {"-c:v", std::string(codec.encoder)});
    addVideoFilters(args, command, codec);
    addFrameSize(args, command, codec);
    if (!command.frameRate.empty()) args.insert(args.end(), {"-r", *frameRateValue(command.frameRate)});
    addQualityAndBitrate(args, command, codec);
    addKbit(args, "-bt", command.bitrateTolerance);
    addKbit(args, "-maxrate", command.maxVideoBitrate);
    addKbit(args, "-bufsize", command.bufferSize);
    addIfGiven(args, "-g", command.gopSize);
    addIfGiven(args, "-aspect", command.aspect);
    addIfGiven(args, "-tag:v", command.videoTag);
}

void addAudio(Args& args, const LegacyCommand& command, const CodecEntry& codec) {
    args.insert(args.end(), {"-c:a", std::string(codec.encoder)});
    addKbit(args, "-b:a", command.audioBitrate);
    addIfGiven(args, "-ar", command.sampleRate);
    addIfGiven(args, "-ac", command.channels);
    addIfGiven(args, "-tag:a", command.audioTag);
}

// AMR-NB is 8 kHz mono by definition; anything else asked of it is refused, not changed.
std::string planAmrAudio(const LegacyCommand& command, const TranslationContext& context, EncoderPlan& plan) {
    if (!command.sampleRate.empty() && command.sampleRate != "8000")
        return "AMR-NB audio is 8000 Hz only, not " + command.sampleRate + " Hz (-ar)";
    if (!command.channels.empty() && command.channels != "1")
        return "AMR-NB audio is mono only, not " + command.channels + " channels (-ac)";
    if (context.amrStreamPath.empty()) return "no way to hand over the AMR-NB stream was given";
    AmrAudioStep step;
    step.mode = amrModeForBitrate(command.audioBitrate);
    step.streamPath = context.amrStreamPath;
    // Quiet but for errors: the main run, going on at the same time, reports the progress.
    step.decodeArgs = {"-hide_banner", "-nostdin", "-v",        "error", "-nostats", "-i",
                       command.input,  "-map",     "0:a:0",     "-ac",   "1",        "-ar",
                       "8000",         "-c:a",     "pcm_s16le", "-f",    "s16le",    "pipe:1"};
    plan.amrAudio = std::move(step);
    return {};
}

Args mainRunArgs(const LegacyCommand& command, const OutputChoice& choice, const std::optional<AmrAudioStep>& amr) {
    Args args{"-hide_banner", "-nostdin"};
    if (command.overwrite) args.emplace_back("-y");
    args.insert(args.end(), {"-i", command.input});
    if (amr) {
        // Frames arrive faster than the picture is encoded; a deeper queue keeps the pipe moving.
        args.insert(args.end(), {"-thread_queue_size", "1024", "-f", "amr", "-i", amr->streamPath});
        if (choice.video) args.insert(args.end(), {"-map", "0:v:0?"});
        args.insert(args.end(), {"-map", "1:a:0"});
    }
    if (choice.audioOnly) args.emplace_back("-vn");
    if (choice.video) addVideo(args, command, *choice.video);
    if (amr) {
        args.insert(args.end(), {"-c:a", "copy"});
        addIfGiven(args, "-tag:a", command.audioTag);
    } else if (choice.audio) {
        addAudio(args, command, *choice.audio);
    }
    addIfGiven(args, "-target", command.target);
    addIfGiven(args, "-f", choice.muxer);
    args.push_back(command.output);
    return args;
}

}  // namespace

Translation translateCommand(const LegacyCommand& command, const TranslationContext& context) {
    Translation result;
    result.error = checkLegacyValues(command);
    OutputChoice choice;
    if (result.error.empty()) result.error = chooseOutput(command, context, choice);
    if (result.error.empty() && choice.audio && isFrontEncoded(*choice.audio))
        result.error = planAmrAudio(command, context, result.plan);
    if (!result.error.empty()) return result;
    result.plan.ffmpegArgs = mainRunArgs(command, choice, result.plan.amrAudio);
    result.ok = true;
    return result;
}

}  // namespace zenvira::encoder
