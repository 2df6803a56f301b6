#pragma once
// Watch-page resolution: page text in; the title, the quality-code table and the stream
// addresses out. Plain text search and cut, exactly as the window's hidden lists expect.
#include <optional>
#include <string>
#include <vector>

#include "resolve/page_markers.h"

namespace zenvira::resolve {

struct PageResolution {
    std::string videoTitle;
    std::vector<std::string> List1;  // one format code or "no" per quality row
    std::vector<std::string> List2;  // stream addresses from the best quality on, then the tail piece
};

struct BestAddress {
    std::string videoTitle;
    std::vector<std::string> List1;
    std::optional<std::string> address;  // none when the page offers no usable stream
};

struct ResolverSetup {
    PageMarkers markers;
    std::vector<std::string> List3 = defaultQualityTable();
};

// Every address the page lists from its best offered quality to the end of its map.
PageResolution resolvePage(const std::string& pageText, const ResolverSetup& setup = {});

// The address of the best quality the page offers.
BestAddress resolveBestAddress(const std::string& pageText, const ResolverSetup& setup = {});

// The steps both resolvers share, exposed for tests and the fuzzer.
std::string cleanFormatList(const std::string& pageText, const PageMarkers& markers);
std::vector<std::string> qualityCodes(const std::string& formatList, const std::vector<std::string>& List3);
std::optional<std::string> bestCode(const std::vector<std::string>& List1);
// The map from the best code's entry up to the end marker; none when that cut is impossible.
std::optional<std::string> cutAddressMap(const std::string& pageText, const std::string& code,
                                         const PageMarkers& markers);
std::string addressOfPiece(const std::string& piece);

}  // namespace zenvira::resolve
