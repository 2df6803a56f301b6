#pragma once
// The checks a conversion passes before the encoder is started, in their order, with the
// command line they lead to. Refusal texts are what the job's ErrorEvent carries.
#include <string>

#include "convert/command_line.h"
#include "convert/conversion_settings.h"

namespace zenvira::convert {

inline constexpr const char* kEncoderFileName = "avformat.dll";
inline constexpr const char* kAlreadyRunning =
    "A conversion is already running. Wait until it is complete before starting another one.";

struct CheckedCommand {
    EncoderCommand command;  // built whenever both paths are set
    std::string error;       // the first refusal, empty when the encoder may start
    bool ok() const { return error.empty(); }
};

// Source, destination, encoder file in the application folder, then paths the command line
// cannot carry. The first failure wins.
CheckedCommand checkAndBuild(const ConversionSettings& settings, bool overWrite);

// Why `path` cannot be written between double quotes on the command line, or empty.
std::string unquotablePathReason(const std::string& path);

}  // namespace zenvira::convert
