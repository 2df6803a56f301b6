#include "encoder/legacy_command.h"

#include <array>
#include <string_view>

namespace zenvira::encoder {

namespace {

struct ValueOption {
    std::string_view name;
    std::string LegacyCommand::*field;
};

constexpr std::array<ValueOption, 18> kValueOptions{{
    {"-b", &LegacyCommand::videoBitrate},
    {"-r", &LegacyCommand::frameRate},
    {"-s", &LegacyCommand::frameSize},
    {"-vcodec", &LegacyCommand::videoCodec},
    {"-vtag", &LegacyCommand::videoTag},
    {"-aspect", &LegacyCommand::aspect},
    {"-bt", &LegacyCommand::bitrateTolerance},
    {"-f", &LegacyCommand::format},
    {"-target", &LegacyCommand::target},
    {"-bufsize", &LegacyCommand::bufferSize},
    {"-g", &LegacyCommand::gopSize},
    {"-qscale", &LegacyCommand::quantiserScale},
    {"-maxrate", &LegacyCommand::maxVideoBitrate},
    {"-acodec", &LegacyCommand::audioCodec},
    {"-atag", &LegacyCommand::audioTag},
    {"-ab", &LegacyCommand::audioBitrate},
    {"-ar", &LegacyCommand::sampleRate},
    {"-ac", &LegacyCommand::channels},
}};

struct FlagOption {
    std::string_view name;
    bool LegacyCommand::*field;
};

constexpr std::array<FlagOption, 3> kFlagOptions{{
    {"-y", &LegacyCommand::overwrite},
    {"-deinterlace", &LegacyCommand::deinterlace},
    {"-sameq", &LegacyCommand::sameQuality},
}};

// "-" alone names standard input/output for ffmpeg, so only longer words are options.
bool looksLikeOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

ParsedCommand failure(std::string error) {
    ParsedCommand result;
    result.error = std::move(error);
    return result;
}

}  // namespace

ParsedCommand parseLegacyCommand(const std::vector<std::string>& args) {
    ParsedCommand result;
    LegacyCommand& command = result.command;
    bool haveInput = false;
    bool haveOutput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!looksLikeOption(arg)) {
            if (haveOutput)
                return failure("more than one destination: '" + command.output + "' and '" + arg +
                               "' (a value holding blanks must be one argument)");
            command.output = arg;
            haveOutput = true;
            continue;
        }
        bool known = false;
        for (const auto& flag : kFlagOptions) {
            if (arg == flag.name) {
                command.*flag.field = true;
                known = true;
            }
        }
        if (known) continue;
        const bool isInput = arg == "-i";
        std::string* field = isInput ? &command.input : nullptr;
        for (const auto& option : kValueOptions)
            if (arg == option.name) field = &(command.*option.field);
        if (!field) return failure("unknown option '" + arg + "' (see --help)");
        if (i + 1 >= args.size() || args[i + 1].empty()) return failure("option '" + arg + "' needs a value");
        if (isInput && haveInput) return failure("only one input (-i) is taken");
        haveInput = haveInput || isInput;
        *field = args[++i];
    }
    if (!haveInput) return failure("no input given (-i SOURCE)");
    if (!haveOutput) return failure("no destination given");
    result.ok = true;
    return result;
}

}  // namespace zenvira::encoder
