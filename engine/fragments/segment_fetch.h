#pragma once
// Fetches many small resources (the segments of an HLS stream) over several connections at
// once on one libcurl multi handle, each one whole into memory, with retries. A fetched
// piece is handed over as soon as it is complete, in whatever order pieces finish.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

struct PieceRequest {
    std::string address;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> byteRange;  // offset, length
};

struct SegmentFetchSettings {
    int connections = 4;
    std::string userAgent;
    int attempts = 5;  // per piece, before the whole fetch fails
    std::chrono::milliseconds firstRetryWait{200};  // doubled after every failed attempt
    std::chrono::seconds stallLimit{30};           // no byte for this long ends an attempt
    std::size_t maxPieceBytes = 256u * 1024u * 1024u;
};

enum class SegmentFetchStatus { Complete, Failed, Stopped };

struct SegmentFetchResult {
    SegmentFetchStatus status = SegmentFetchStatus::Failed;
    std::string error;  // why it failed
};

// `onPiece(index, body)` runs on the calling thread for every piece that came whole; a
// non-empty text it returns fails the fetch with that reason. `onBytes(n)` counts bytes as
// they arrive (a failed attempt's bytes are given back as a negative count); `tick` runs on
// every turn of the loop.
SegmentFetchResult fetchPieces(const std::vector<PieceRequest>& pieces, const std::vector<std::size_t>& wanted,
                               const SegmentFetchSettings& settings, CancelToken& stop,
                               const std::function<std::string(std::size_t, std::string&&)>& onPiece,
                               const std::function<void(std::int64_t)>& onBytes, const std::function<void(int)>& onConnections,
                               const std::function<void()>& tick);

}  // namespace zenvira::components
