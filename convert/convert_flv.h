#pragma once
// ConvertFLV: the converter window's operation that turns a profile name and a source path
// into a conversion on the job. A plain function so the window, the CLI and tests share it.
#include <string>

namespace zenvira::convert {

class AVC;

// Assigns the named profile's settings, the source and the output path to the job. An unknown
// name (matched whole and case-sensitively) shows the "Not Supported" box, leaves the job as
// it was and returns false.
bool assignConversion(AVC& job, const std::string& FormatType, const std::string& SrcPath);

// assignConversion, then the job's ConvertMedia with OverWrite true.
void ConvertFLV(AVC& job, const std::string& FormatType, const std::string& SrcPath);

}  // namespace zenvira::convert
