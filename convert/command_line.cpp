#include "convert/command_line.h"

namespace zenvira::convert {

namespace {

void addText(std::string& options, const char* prefix, const std::string& value) {
    if (value.empty()) return;
    options += prefix;
    options += value;
    options += ' ';
}

void addFlag(std::string& options, const char* option, bool on) {
    if (!on) return;
    options += option;
    options += ' ';
}

}  // namespace

std::string encoderOptions(const ConversionSettings& s, bool overWrite) {
    std::string options;
    addFlag(options, "-y", overWrite);
    addText(options, "-b ", s.VideoBitrate);
    addText(options, "-r ", s.VideoFrameRate);
    addText(options, "-s ", s.VideoSize);
    addText(options, "-vcodec ", s.VideoCodec);
    addText(options, "-vtag ", s.VideoFourCCTag);
    addText(options, "-aspect ", s.VideoAspectRatio);
    addText(options, "-bt ", s.VideoBitrateTolerance);
    addText(options, "-f ", s.ForceFormat);
    addText(options, "-target ", s.TargetFormat);
    addText(options, "-bufsize ", s.RateControlBuffer);
    addText(options, "-g ", s.GroupOfPictureSize);
    addText(options, "-qscale ", s.VideoQuantiserScale);
    addText(options, "-maxrate ", s.MaxVideoBitrate);
    addFlag(options, "-deinterlace", s.DeInterlace);
    addFlag(options, "-sameq", s.SameQuality);
    addText(options, "-acodec ", s.AudioCodec);
    addText(options, "-atag ", s.AudioFourCCTag);
    addText(options, "-ab ", s.AudioBitrate);
    addText(options, "-ar ", s.AudioSamples);
    addText(options, "-ac ", s.AudioChannels);
    return options;
}

EncoderCommand buildEncoderCommand(const ConversionSettings& settings, bool overWrite,
                                   const std::string& encoderPath, const std::string& encoderShortPath) {
    EncoderCommand command;
    command.program = encoderPath;
    command.programPart = encoderShortPath;
    command.arguments = " -i \"" + settings.SourceFile + "\" " + encoderOptions(settings, overWrite) + "\"" +
                        settings.DestFile + "\"";
    return command;
}

}  // namespace zenvira::convert
