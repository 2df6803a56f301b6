#include "resolve/generic/json_ld.h"

#include <algorithm>
#include <cctype>

namespace zenvira::resolve {

namespace {

using Json = nlohmann::json;
constexpr int kDeepest = 32;  // a hostile page's nesting stops here

bool isVideoObject(const Json& node) {
    if (!node.is_object() || !node.contains("@type")) return false;
    const Json& type = node["@type"];
    if (type.is_string()) return type.get<std::string>() == "VideoObject";
    if (type.is_array())
        return std::any_of(type.begin(), type.end(), [](const Json& each) {
            return each.is_string() && each.get<std::string>() == "VideoObject";
        });
    return false;
}

void walk(const Json& node, NestedVideos nested, const std::function<void(const Json&)>& visit, int depth) {
    if (depth > kDeepest) return;
    if (isVideoObject(node)) {
        visit(node);
        if (nested == NestedVideos::Skipped) return;
    }
    if (node.is_object() || node.is_array())
        for (const auto& child : node) walk(child, nested, visit, depth + 1);
}

bool isJsonLd(const components::HtmlElement& script) {
    std::string type = script.getAttribute("type").value_or("");
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type.find("ld+json") != std::string::npos;
}

}  // namespace

void forEachJsonLdVideo(const components::HtmlDocument& doc, NestedVideos nested,
                        const std::function<void(const Json&)>& visit) {
    for (const auto& script : doc.getElementsByTagName("script")) {
        if (!isJsonLd(script)) continue;
        const Json data = Json::parse(script.textContent(), nullptr, false);
        if (!data.is_discarded()) walk(data, nested, visit, 0);
    }
}

std::string jsonText(const Json& node, const char* key) {
    if (!node.is_object() || !node.contains(key)) return {};
    const Json& value = node[key];
    if (value.is_string()) return value.get<std::string>();
    if (value.is_array() && !value.empty() && value.front().is_string()) return value.front().get<std::string>();
    return {};
}

}  // namespace zenvira::resolve
