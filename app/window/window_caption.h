#pragma once
// The caption the window carries once it has loaded: the product name and its version.
#include <string>

namespace zenvira::window {

// "Zenvira 2.5", written with the given decimal separator ("Zenvira 2,5").
std::string loadedCaption(char decimalSeparator);

}  // namespace zenvira::window
