#pragma once
// The videos of a page that holds several: each VideoObject of a JSON-LD ItemList (or any
// JSON-LD that names more than one), else each <video> element. One entry per video, with the
// address of its tallest source, so that each can be downloaded on its own.
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::resolve {

struct PageVideo {
    std::string title;    // its name, else the page's title numbered
    std::string address;  // a media address (or a playlist) of this video
};

// `pageAddress` is the address the page came from: relative addresses are joined to it.
std::vector<PageVideo> videosOfPage(std::string_view pageText, const std::string& pageAddress);

}  // namespace zenvira::resolve
