#pragma once
// Every page goes through the resolvers in one order: the watch-page resolver first, exactly
// as it always read its pages; when it finds no stream, the generic resolver, which reads
// any page of today's shape and direct links to media files and HLS playlists. The page is
// fetched once; the generic resolver may read a playlist or the first bytes of a stream to
// learn its heights.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/quality.h"
#include "engine/page_fetch/page_fetch.h"
#include "resolve/stream.h"

namespace zenvira::resolve {

using Fetcher = std::function<components::FetchResult(const std::string& address)>;

inline constexpr int kButtons = base::kQualityCount;

struct Resolution {
    std::string resolver;  // "watch-page" or "generic"
    std::string videoTitle;
    // The watch-page resolver's hidden lists, as Extract and the batch read them.
    std::vector<std::string> List1, List2;
    std::optional<std::string> bestAddress;  // what the batch downloads
    // The generic resolver's streams, page order, and the one on each quality button.
    std::vector<Stream> streams;
    std::array<std::optional<Stream>, kButtons> buttons;
};

// Resolves a page that has been read. `fetch` reads what the generic resolver needs besides
// the page (playlists, the first bytes of a stream); it sees at most a few small requests.
Resolution resolveFetchedPage(const std::string& address, const components::FetchResult& page, const Fetcher& fetch);

// The generic resolver alone.
Resolution resolveGeneric(const std::string& address, const components::FetchResult& page, const Fetcher& fetch);

// A stream on every button it lands on: the tallest of those that land on one button wins.
std::array<std::optional<Stream>, kButtons> streamsOnButtons(const std::vector<Stream>& streams);

// The name the server gives a file in its Content-Disposition, without its extension.
std::string dispositionName(const std::string& contentDisposition);

// The last path segment of an address, percent-decoded, without its extension.
std::string nameFromAddress(const std::string& address);

// How many first bytes of a stream are read to learn what it is.
inline constexpr std::size_t kProbeBytes = 256 * 1024;

}  // namespace zenvira::resolve
