#include "resolve/generic/page_videos.h"

#include <nlohmann/json.hpp>

#include "base/web_address/address_text.h"
#include "components/html_document/html_document.h"
#include "resolve/generic/generic_page.h"
#include "resolve/generic/json_ld.h"
#include "resolve/generic/page_scan.h"
#include "resolve/generic/stream_height.h"

namespace zenvira::resolve {

namespace {

using Json = nlohmann::json;
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
    forEachJsonLdVideo(doc, NestedVideos::Skipped, [&](const Json& object) {
        const std::string address = joined(base, jsonText(object, "contentUrl"));
        if (!address.empty()) videos.push_back({jsonText(object, "name"), address});
    });
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

std::string listTitle(const components::HtmlDocument& doc, std::string_view pageText, const std::string& pageAddress) {
    if (const auto titles = doc.getElementsByTagName("title"); !titles.empty()) {
        std::string title;
        for (const char c : titles.front().textContent()) {
            const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            if (!space) title += c;
            else if (!title.empty() && title.back() != ' ') title += ' ';
        }
        if (!title.empty() && title.back() == ' ') title.pop_back();
        if (!title.empty()) return title;
    }
    return readGenericPage(pageText, pageAddress).title;
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
    // Each address once; a video without a name is the page's title with its number (the
    // page's own <title>: the title the generic reading gives may be the first video's name).
    const std::string pageTitle = listTitle(doc, pageText, pageAddress);
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
