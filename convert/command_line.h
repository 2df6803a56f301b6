#pragma once
// The encoder's command line built from a job's settings. Pure: the encoder's path and its
// short form come in from outside.
#include <string>

#include "convert/conversion_settings.h"

namespace zenvira::convert {

struct EncoderCommand {
    std::string program;      // the encoder's path as on disk, which the process is started from
    std::string programPart;  // how the command line names the encoder: its short form
    std::string arguments;    // everything after the program part, starting with " -i "

    // The whole command line, as the encoder is told it.
    std::string text() const { return programPart + arguments; }
};

// The options in their fixed order, each followed by one space ("-y " first when overWrite).
std::string encoderOptions(const ConversionSettings& settings, bool overWrite);

// program part, " -i ", the quoted source, one space, the options, the quoted destination.
EncoderCommand buildEncoderCommand(const ConversionSettings& settings, bool overWrite,
                                   const std::string& encoderPath, const std::string& encoderShortPath);

}  // namespace zenvira::convert
