#pragma once
// The settings of one conversion as the job holds them: texts stored exactly as assigned
// (empty means "not set") and two flags. Plain data, so the command-line builder is a pure
// function of it.
#include <string>

namespace zenvira::convert {

struct ConversionSettings {
    std::string RateControlBuffer;
    std::string VideoBitrateTolerance;
    std::string TargetFormat;
    std::string GroupOfPictureSize;
    std::string VideoQuantiserScale;
    std::string MaxVideoBitrate;
    std::string SourceFile;
    std::string DestFile;
    bool DeInterlace = false;
    bool SameQuality = false;
    std::string VideoSize;
    std::string VideoBitrate;
    std::string VideoFrameRate;
    std::string VideoCodec;
    std::string VideoFourCCTag;
    std::string VideoAspectRatio;
    std::string ForceFormat;
    std::string AudioBitrate;
    std::string AudioCodec;
    std::string AudioFourCCTag;
    std::string AudioSamples;
    std::string AudioChannels;
};

}  // namespace zenvira::convert
