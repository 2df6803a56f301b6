#pragma once
// Fetches many small resources (the segments of an HLS stream, its keys, its playlists) over
// several connections at once on the transfer layer's multi loop, each one whole into memory.
// A fetched piece is handed over as soon as it is complete, in whatever order pieces finish.
// Failures are judged by the transfer layer's classifier and retried with a doubling wait; a
// server that asks to wait (429, 503 with Retry-After) is waited out. Connections count
// against the budget of each host over all downloads of the process.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/request/failure_cause.h"
#include "engine/transfer/cancel_token.h"
#include "engine/transfer/rate_pacer.h"

namespace zenvira::components {

struct PieceRequest {
    std::string address;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> byteRange;  // offset, length
    // The same piece at other places (a manifest's further BaseURLs), asked in turn once the
    // one before fails.
    std::vector<std::string> fallbacks;
};

// What the answer of a piece said about it, beyond its body.
struct PieceHead {
    std::string etag;
    std::string lastModified;
    std::string contentType;
    std::string finalAddress;  // after redirections
};

struct SegmentFetchSettings {
    int connections = 4;
    std::string userAgent;
    int attempts = 5;  // per piece, before the whole fetch fails
    std::chrono::milliseconds firstRetryWait{200};  // doubled after every failed attempt
    std::size_t maxPieceBytes = 256u * 1024u * 1024u;
    // A piece must be media: a web page or text in its place is retried, then fails the fetch.
    bool mediaOnly = true;
    std::string pieceName = "A segment";  // how a failure names a piece
    // The job's rate, shared with every other fetch of the job; none: as fast as it comes.
    RatePacer* pacer = nullptr;
    // The pieces someone waits for now (a player of the local stream), the most urgent first:
    // asked for before the others, with one connection beyond the count when none is free.
    std::function<std::vector<std::size_t>()> wantedFirst;
};

enum class SegmentFetchStatus { Complete, Failed, Stopped };

struct SegmentFetchResult {
    SegmentFetchStatus status = SegmentFetchStatus::Failed;
    std::string error;  // why it failed
    bool expired = false;  // failed with 403 or 410: the address may be renewed
    FailureCause cause{};  // when failed: of what kind
};

// `onPiece(index, body, head)` runs on the calling thread for every piece that came whole; a
// non-empty text it returns fails the fetch with that reason. `onBytes(n)` counts bytes as
// they arrive (a failed attempt's bytes are given back as a negative count); `tick` runs on
// every turn of the loop.
using PieceHandler = std::function<std::string(std::size_t index, std::string&& body, const PieceHead& head)>;
SegmentFetchResult fetchPieces(const std::vector<PieceRequest>& pieces, const std::vector<std::size_t>& wanted,
                               const SegmentFetchSettings& settings, CancelToken& stop, const PieceHandler& onPiece,
                               const std::function<void(std::int64_t)>& onBytes,
                               const std::function<void(int)>& onConnections, const std::function<void()>& tick);

}  // namespace zenvira::components
