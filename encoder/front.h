#pragma once
// The encoder front: takes the old command line, runs the installed FFmpeg for it, and
// says how to end: FFmpeg's exit code, or the signal that ended it.
#include <string>
#include <vector>

#include "platform/relayed_child.h"

namespace zenvira::encoder {

using platform::relay::ChildEnd;

// `args` are the arguments after the program's name.
ChildEnd runFront(const std::vector<std::string>& args);

}  // namespace zenvira::encoder
