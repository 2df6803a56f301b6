#pragma once
// The page-fetch component: one blocking call that returns a whole page body as UTF-8 text.
// Follows up to 10 redirects, accepts gzip, honours http_proxy/https_proxy/no_proxy, has a
// connect and an overall time-out, refuses bodies over 64 MiB and converts a declared
// charset other than UTF-8. Failures come back as a one-line reason, never as an exception.
// A CancelToken ends a fetch at once from another thread.
#include <chrono>
#include <cstddef>
#include <string>

#include "engine/request/failure_cause.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

struct FetchResult {
    bool ok = false;
    std::string text;    // the body as UTF-8 when ok
    std::string error;   // one line a person understands when not ok
    long httpStatus = 0; // last status seen, 0 when none
    bool cancelled = false;  // ended by its CancelToken, not by the server or the network
    std::string contentType;         // the response's Content-Type
    std::string contentDisposition;  // its Content-Disposition, empty when none
    std::string finalAddress;        // the address answered last (after redirects)
    bool mediaPrefix = false;        // a media file: `text` holds only its first bytes, undecoded
    FailureCause cause{};  // when not ok: of what kind
};

// The reason of a fetch that its CancelToken ended.
inline constexpr const char* kFetchCancelledText = "Stopped before the page arrived";

struct FetchOptions {
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds totalTimeout{30'000};
    std::size_t maxBodyBytes = 64u * 1024u * 1024u;
    long maxRedirects = 10;
    std::string userAgent = "Mozilla/5.0 (compatible; Zenvira/2.5)";
    bool acceptCompressed = true;  // offer gzip and deflate (Accept-Encoding)
    // When not 0, a response whose Content-Type names media or plain bytes (video/*, audio/*,
    // application/octet-stream...) is read only this far: a page address that turns out to
    // be a video file is recognised without downloading it.
    std::size_t mediaPrefixBytes = 0;
    // With mediaPrefixBytes: the media answer is not ended but paused and parked under its
    // address (engine/transfer/parked_transfer.h), for the download that follows to go on
    // with. The request asks for "bytes=0-" then, so that the answer says whether the server
    // sends parts.
    bool parkMedia = false;
};

class PageFetch {
public:
    explicit PageFetch(FetchOptions options = {});
    // Blocks until the whole body is there, the fetch has failed or `cancel` was cancelled.
    FetchResult FetchText(const std::string& address, CancelToken* cancel = nullptr) const;

private:
    FetchOptions options_;
};

}  // namespace zenvira::components
