#pragma once
// What --help prints: the command line taken and every mapping to today's FFmpeg.
#include <string>

namespace zenvira::encoder {

std::string helpText();

}  // namespace zenvira::encoder
