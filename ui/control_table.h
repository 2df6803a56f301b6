#pragma once
// A window's layout as data: every visible control with its name, design caption and place in
// twips. Each window keeps one such table and builds itself from it, so the names are the
// widgets' objectNames.
#include <string_view>
#include <vector>

#include "ui/twips.h"

namespace zenvira::ui {

struct ControlEntry {
    std::string_view name;
    std::string_view caption;  // empty for controls without one
    TwipsRect place;
};

// The entry of a control by name; an unknown name is a programming error and throws.
const ControlEntry& findControl(const std::vector<ControlEntry>& table, std::string_view name);

}  // namespace zenvira::ui
