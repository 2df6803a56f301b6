#pragma once
// Pages in the shapes video pages have today, each inside tens of KB of other markup and
// script: a <video> with labelled <source>s, JSON-LD, og: and twitter: tags, a player
// configuration script naming an HLS playlist, and a page with no video at all.
#include <string>
#include <vector>

namespace zenvira::site {

struct SourceTag {
    std::string address;     // as written into src (relative or absolute)
    std::string type;        // the type attribute, empty for none
    std::string labelName;   // "label", "size", "res", "data-res", "data-quality"... empty for none
    std::string labelValue;  // "720p"
};

std::string videoSourcesPage(const std::string& title, const std::vector<SourceTag>& sources);
std::string jsonLdPage(const std::string& name, const std::string& contentUrl, int height);
std::string openGraphPage(const std::string& ogTitle, const std::string& ogVideo, const std::string& ogType, int ogHeight,
                          const std::string& twitterStream);
// The playlist address goes into a JSON configuration in a script, slashes escaped.
std::string playerScriptPage(const std::string& title, const std::string& playlistAddress);
std::string pageWithoutVideo(const std::string& title);

// Markup and script that name no video: navigation, cards, a tracking script, comments.
std::string todayFiller(std::size_t bytes, unsigned seed);

}  // namespace zenvira::site
