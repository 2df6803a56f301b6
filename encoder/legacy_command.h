#pragma once
// The command line the converter hands the encoder, in the FFmpeg option names of its time:
//   avformat.dll -i SOURCE [OPTIONS] DESTINATION
// read into plain fields. Nothing is translated here; values are kept as written.
#include <string>
#include <vector>

namespace zenvira::encoder {

struct LegacyCommand {
    std::string input;         // -i
    std::string output;        // the one argument that is not an option
    bool overwrite = false;    // -y
    bool deinterlace = false;  // -deinterlace
    bool sameQuality = false;  // -sameq

    // Options with a value; empty means not given. The last of a repeated option counts.
    std::string videoBitrate;      // -b        kbit/s
    std::string frameRate;         // -r
    std::string frameSize;         // -s        WxH or a size name
    std::string videoCodec;        // -vcodec
    std::string videoTag;          // -vtag
    std::string aspect;            // -aspect
    std::string bitrateTolerance;  // -bt       kbit/s
    std::string format;            // -f
    std::string target;            // -target
    std::string bufferSize;        // -bufsize  kbit
    std::string gopSize;           // -g
    std::string quantiserScale;    // -qscale
    std::string maxVideoBitrate;   // -maxrate  kbit/s
    std::string audioCodec;        // -acodec
    std::string audioTag;          // -atag
    std::string audioBitrate;      // -ab       kbit/s
    std::string sampleRate;        // -ar
    std::string channels;          // -ac
};

struct ParsedCommand {
    bool ok = false;
    LegacyCommand command;
    std::string error;  // one line saying which argument is wrong, when not ok
};

// Reads the arguments after the program's name. Refuses unknown options, an option without
// its value, a missing or repeated -i, and anything but exactly one destination.
ParsedCommand parseLegacyCommand(const std::vector<std::string>& args);

}  // namespace zenvira::encoder
