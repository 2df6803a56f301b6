#pragma once
// zenvira-cli convert and profiles: the converter window's job with a terminal for a window.
#include <string>
#include <vector>

namespace zenvira::cli {

// `convert [--print] FILE PROFILE`, given the words after "convert". Needs a
// QCoreApplication. Exit status 0 only when the encoder succeeded and the output file exists
// (with --print: when the command line could be built); 2 for wrong words.
int runConvert(const std::vector<std::string>& words);

// `profiles`: the profile names, one a line, in the order they are matched in.
int runProfiles();

}  // namespace zenvira::cli
