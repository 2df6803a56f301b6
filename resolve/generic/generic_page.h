#pragma once
// What any HTML page says about its video, read the way the field's generic extractors read
// it, in this order: <video src>, <video><source src type>, JSON-LD VideoObject, og:video,
// twitter:player:stream, and HLS playlists named by any of these or quoted in a script.
#include <string>
#include <string_view>
#include <vector>

#include "resolve/stream.h"

namespace zenvira::resolve {

struct GenericPage {
    std::string title;             // og:title, else JSON-LD name, else <title>
    std::vector<Stream> streams;   // page order, each address once
    std::vector<Subtitle> subtitles;  // the <video>'s subtitle and caption <track>s
};

// `pageAddress` is the address the page came from (after redirects): relative addresses are
// joined to it, or to the page's <base href>.
GenericPage readGenericPage(std::string_view pageText, const std::string& pageAddress);

// The container a MIME type or an address's extension names: "mp4", "webm", "flv", "mkv",
// "hls"; empty when neither says.
std::string containerOf(std::string_view mimeType, std::string_view address);

}  // namespace zenvira::resolve
