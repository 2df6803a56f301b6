#pragma once
// The old command line turned into the runs of today's FFmpeg that make the same file.
// Pure: what it needs to know about the source and where the AMR-NB stream goes come in.
// A plan with amrAudio tells the caller to learn what the source holds, and to choose the
// stream's place, before translating again for the run.
#include <optional>
#include <string>
#include <vector>

#include "encoder/amr_mode.h"
#include "encoder/legacy_command.h"

namespace zenvira::encoder {

struct TranslationContext {
    // What the source holds, when known; both are assumed otherwise (FFmpeg itself skips
    // what is not there, except where this front makes the audio).
    bool sourceHasVideo = true;
    bool sourceHasAudio = true;
    // Where the main run reads the AMR-NB stream this front makes (an FFmpeg input name).
    std::string amrStreamPath;
};

// AMR-NB made by this front: FFmpeg decodes the source's audio to 8 kHz mono 16-bit PCM on
// its standard output, this front encodes it into an AMR stream ("#!AMR\n" and frames)
// that the main run reads from `streamPath` as its second input and copies.
struct AmrAudioStep {
    std::vector<std::string> decodeArgs;
    const AmrMode* mode = nullptr;
    std::string streamPath;
};

struct EncoderPlan {
    std::optional<AmrAudioStep> amrAudio;  // runs first, when set
    std::vector<std::string> ffmpegArgs;   // the main run's arguments after the program name
};

struct Translation {
    bool ok = false;
    EncoderPlan plan;
    std::string error;  // one line saying what cannot be done, when not ok
};

Translation translateCommand(const LegacyCommand& command, const TranslationContext& context);

}  // namespace zenvira::encoder
