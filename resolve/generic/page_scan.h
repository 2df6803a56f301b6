#pragma once
// A quick pass over a whole page that keeps only the markup a video can be named in: the
// <meta> tags, the first <title>, JSON-LD scripts and <video> elements, plus every quoted
// ".m3u8" address anywhere (player configuration scripts name their playlist that way).
// Browsers' parsers spend most of their time on the rest of a page, so the HTML parser then
// reads only these pieces: a 2 MB page costs about what a 20 KB one does.
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::resolve {

struct PageExcerpt {
    // A small HTML document: the kept tags in page order, the head ones first.
    std::string html;
    // Quoted addresses that name an HLS playlist, as written (not yet decoded).
    std::vector<std::string> playlistAddresses;
    std::vector<std::string> manifestAddresses;  // quoted ".mpd" addresses (DASH manifests)
};

PageExcerpt excerptPage(std::string_view page);

}  // namespace zenvira::resolve
