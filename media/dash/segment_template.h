#pragma once
// The addresses a SegmentTemplate stands for: $RepresentationID$, $Bandwidth$, $Number$ and
// $Time$ replaced (the last three also in their zero-padded "%0Nd" forms), "$$" for a dollar.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::components::dash {

struct TemplateValues {
    std::string_view representationId;
    std::uint64_t bandwidth = 0;
    std::optional<std::uint64_t> number;  // none where the template may not use it (initialisation)
    std::optional<std::uint64_t> time;
};

// None when the template names an identifier it may not use here, or is not well formed.
std::optional<std::string> expandTemplate(std::string_view pattern, const TemplateValues& values);

}  // namespace zenvira::components::dash
