#pragma once
// Every page goes through the resolvers in one order: the watch-page resolver first, exactly
// as it always read its pages; when it finds no stream, the generic resolver, which reads
// any page of today's shape and direct links to media files and HLS playlists. The page is
// fetched once; the generic resolver may read a playlist or the first bytes of a stream to
// learn its heights, a few of them at most.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/page_fetch/page_fetch.h"
#include "resolve/stream.h"
#include "resolve/stream_buttons.h"

namespace zenvira::resolve {

using Fetcher = std::function<components::FetchResult(const std::string& address)>;

// What a page offers, whichever resolver read it: the title and the streams, page order.
// The buttons are made from the streams (streamsOnButtons); nothing looks at which resolver
// it was.
struct Resolution {
    std::string resolver;  // its name, only for `zenvira-cli resolve` to print
    std::string videoTitle;
    std::vector<Stream> streams;
    std::vector<Subtitle> subtitles;  // page order, each address once
    // The window's hidden lists, cut from the page text by the watch-page resolver whatever
    // page it is (five "no" entries where it found nothing), and what the batch downloads:
    // the watch page's best address, else the stream on the best button.
    std::vector<std::string> List1, List2;
    std::optional<Stream> best;
};

// Resolves a page that has been read. `fetch` reads what the generic resolver needs besides
// the page (playlists, the first bytes of a stream); it sees at most kMostExtraReads requests.
// A page that carries the watch page's markers keeps the watch page's title and name even
// when only the generic resolver finds its streams.
Resolution resolveFetchedPage(const std::string& address, const components::FetchResult& page, const Fetcher& fetch);

// The generic resolver alone.
Resolution resolveGeneric(const std::string& address, const components::FetchResult& page, const Fetcher& fetch);

// The name the server gives a file in its Content-Disposition, without its extension.
std::string dispositionName(const std::string& contentDisposition);

// The last path segment of an address, percent-decoded, without its extension.
std::string nameFromAddress(const std::string& address);

// How many first bytes of a stream are read to learn what it is.
inline constexpr std::size_t kProbeBytes = 256 * 1024;

// The most addresses a resolver reads besides the page itself, whatever the page holds: a
// page naming thousands of streams resolves at once, its streams taken as the page says them.
inline constexpr int kMostExtraReads = 4;

}  // namespace zenvira::resolve
