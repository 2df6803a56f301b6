#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

#include "components/html_document/html_document.h"

namespace zenvira::resolve {

// Which VideoObjects a walk of a page's JSON-LD visits.
enum class NestedVideos {
    Visited,  // a VideoObject inside another is one more offer (alternatives of one video)
    Skipped,  // a VideoObject is one video; what it holds is not another
};

// Every VideoObject of the page's ld+json scripts, in page order, at any depth (@graph,
// arrays, an ItemList's items). A script that is not JSON is passed over.
void forEachJsonLdVideo(const components::HtmlDocument& doc, NestedVideos nested,
                        const std::function<void(const nlohmann::json&)>& visit);

// A string value of the object, or the first string of an array value; empty otherwise.
std::string jsonText(const nlohmann::json& node, const char* key);

}  // namespace zenvira::resolve
