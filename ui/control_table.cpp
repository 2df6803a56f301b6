#include "ui/control_table.h"

#include <stdexcept>
#include <string>

namespace zenvira::ui {

const ControlEntry& findControl(const std::vector<ControlEntry>& table, std::string_view name) {
    for (const auto& control : table)
        if (control.name == name) return control;
    throw std::out_of_range("no control named " + std::string(name));
}

}  // namespace zenvira::ui
