#pragma once
// A small read-only XML tree for the manifest reader, made by libxml2 with everything that
// reaches outside the text turned off: no network, no external DTD, no entity substitution.
// Names are local names (a namespace prefix dropped); attribute values are as the parser
// decoded them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zenvira::components::dash {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;  // the element's own text (its direct text children, joined)
    std::vector<XmlElement> children;

    // The attribute's value, or none when the element does not carry it.
    const std::string* attribute(std::string_view attributeName) const;
    // The first child of that name, or null.
    const XmlElement* child(std::string_view childName) const;
    std::vector<const XmlElement*> childrenNamed(std::string_view childName) const;
};

struct XmlReadResult {
    std::optional<XmlElement> root;
    std::string error;
};

// Texts longer than this are refused before parsing.
inline constexpr std::size_t kLargestXmlText = 16u << 20;

XmlReadResult readXml(std::string_view text);

}  // namespace zenvira::components::dash
