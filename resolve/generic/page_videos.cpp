#include "resolve/generic/page_videos.h"

#include <nlohmann/json.hpp>

#include "base/web_address/address_text.h"
#include "components/html_document/html_document.h"
#include "resolve/generic/generic_page.h"
#include "resolve/generic/page_scan.h"
#include "resolve/generic/stream_height.h"

namespace zenvira::resolve {

namespace {

using Json = nlohmann::json;
constexpr int kDeepest = 16;  // how far JSON-LD is searched for VideoObjects

bool isVideoObject(const Json& node) {
    if (!node.is_object() || !node.contains("@type")) return false;
    const Json& type = node["@type"];
    if (type.is_string()) return type.get<std::string>() == "VideoObject";
    if (type.is_array())
        for (const Json& each : type)
            if (each.is_string() && each.get<std::string>() == "VideoObject") return true;
    return false;
}

void findVideoObjects(const Json& node, std::vector<const Json*>& out, int depth = 0) {
    if (depth > kDeepest) return;
    if (isVideoObject(node)) {
        out.push_back(&node);
        return;
    }
    if (node.is_object() || node.is_array())
        for (const auto& child : node) findVideoObjects(child, out, depth + 1);
}

std::string jsonText(const Json& node, const char* key) {
    if (!node.contains(key)) return {};
    const Json& value = node[key];
    if (value.is_string()) return value.get<std::string>();
    return {};
}

bool isWebAddress(const std::string& address) {
    return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

std::string joined(const std::string& base, std::string_view written) {
    const std::string address = components::joinAddress(base, components::cleanAddress(written));
    return isWebAddress(address) ? address : std::string();
}

std::string attribute(const components::HtmlElement& element, const char* name) {
    return element.getAttribute(name).value_or("");
}

std::vector<PageVideo> jsonLdVideos(const components::HtmlDocument& doc, const std::string& base) {
    std::vector<PageVideo> videos;
    for (const auto& script : doc.getElementsByTagName("script")) {
        if (attribute(script, "type").find("ld+json") == std::string::npos) continue;
        const Json data = Json::parse(script.textContent(), nullptr, false);
        if (data.is_discarded()) continue;
        std::vector<const Json*> objects;
        findVideoObjects(data, objects);
        for (const Json* object : objects) {
            const std::string address = joined(base, jsonText(*object, "contentUrl"));
            if (!address.empty()) videos.push_back({jsonText(*object, "name"), address});
        }
    }
    return videos;
}

// Each <video>: its tallest source, the first when none says its height.
std::vector<PageVideo> videoElements(const components::HtmlDocument& doc, const std::string& base) {
    std::vector<PageVideo> videos;
    for (const auto& video : doc.getElementsByTagName("video")) {
        std::string best;
        int bestHeight = -1;
        const auto consider = [&](const components::HtmlElement& element) {
            const std::string address = joined(base, attribute(element, "src"));
            if (address.empty()) return;
            int height = 0;
            for (const char* name : {"data-res", "res", "size", "label", "title", "data-height"})
                if (!height) height = heightFromLabel(attribute(element, name));
            if (!height) height = heightFromAddress(address);
            if (height > bestHeight) {
                best = address;
                bestHeight = height;
            }
        };
        consider(video);
        for (const auto& source : video.getElementsByTagName("source")) consider(source);
        if (!best.empty()) videos.push_back({attribute(video, "title"), best});
    }
    return videos;
}

}  // namespace

std::vector<PageVideo> videosOfPage(std::string_view pageText, const std::string& pageAddress) {
    const PageExcerpt excerpt = excerptPage(pageText);
    const components::HtmlDocument doc(excerpt.html);
    std::string base = pageAddress;
    for (const auto& element : doc.getElementsByTagName("base"))
        if (const auto href = element.getAttribute("href")) {
            base = components::joinAddress(pageAddress, *href);
            break;
        }
    std::vector<PageVideo> videos = jsonLdVideos(doc, base);
    if (videos.size() < 2) {
        auto elements = videoElements(doc, base);
        if (elements.size() > videos.size()) videos = std::move(elements);
    }
    // Each address once; a video without a name is the page's title with its number.
    const std::string pageTitle = readGenericPage(pageText, pageAddress).title;
    std::vector<PageVideo> unique;
    for (auto& video : videos) {
        bool seen = false;
        for (const auto& kept : unique) seen = seen || kept.address == video.address;
        if (seen) continue;
        if (video.title.empty())
            video.title = pageTitle.empty() ? std::string() : pageTitle + " (" + std::to_string(unique.size() + 1) + ")";
        unique.push_back(std::move(video));
    }
    return unique;
}

}  // namespace zenvira::resolve
