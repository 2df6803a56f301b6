#pragma once
// The control bar's time: "0:12 / 1:30", hours only when needed ("1:02:03").
#include <string>

namespace zenvira::components {

std::string clockText(double seconds);
std::string positionText(double position, double duration);

}  // namespace zenvira::components
