#include "convert/encoder_checks.h"

#include "platform/application_folder.h"
#include "platform/short_path.h"

namespace zenvira::convert {

std::string unquotablePathReason(const std::string& path) {
    // The encoder reads its arguments by the Windows rules: a double quote inside the path
    // would end the quoted path and turn the rest into options of its own.
    if (path.find('"') != std::string::npos)
        return "The path " + path + " holds a double quote (\"), which cannot be passed to the encoder";
    // A backslash right before the closing quote would make that quote part of the path.
    if (!path.empty() && path.back() == '\\')
        return "The path " + path + " ends in a backslash, which cannot be passed to the encoder";
    if (path.find('\0') != std::string::npos)
        return "The path " + path.substr(0, path.find('\0')) + " holds a NUL character";
    return {};
}

CheckedCommand checkAndBuild(const ConversionSettings& settings, bool overWrite) {
    CheckedCommand checked;
    if (settings.SourceFile.empty()) {
        checked.error = "No source filename defined";
        return checked;
    }
    if (settings.DestFile.empty()) {
        checked.error = "No destination filename defined";
        return checked;
    }
    // The encoder file may be spelt in any letter case on disk.
    const std::string found = platform::locateInApplicationFolder(kEncoderFileName);
    const std::string encoderPath = found.empty() ? platform::pathInApplicationFolder(kEncoderFileName) : found;
    checked.command = buildEncoderCommand(settings, overWrite, encoderPath, platform::shortPath(encoderPath));
    if (found.empty()) {
        checked.error = std::string("Unable to locate ") + kEncoderFileName;
        return checked;
    }
    for (const std::string* path : {&settings.SourceFile, &settings.DestFile}) {
        checked.error = unquotablePathReason(*path);
        if (!checked.ok()) return checked;
    }
    return checked;
}

}  // namespace zenvira::convert
