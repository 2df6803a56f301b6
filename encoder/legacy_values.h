#pragma once
// Checks every value of an old command line before anything is translated or started.
#include <string>

#include "encoder/legacy_command.h"

namespace zenvira::encoder {

// Empty when every given value has its option's form; else one line naming the option,
// the form it takes and the value given.
std::string checkLegacyValues(const LegacyCommand& command);

}  // namespace zenvira::encoder
