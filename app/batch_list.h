#pragma once
#include <optional>
#include <string>

namespace zenvira::app {

// The row the List command adds for the address box's text: its first 42 characters when it
// holds the watch marker (case-sensitive), nothing otherwise.
std::optional<std::string> batchRowFor(const std::string& addressText);

}  // namespace zenvira::app
