#include "engine/page_fetch/curl_transfer.h"

#include <new>
#include <optional>
#include <string_view>

#include "base/text_ops.h"
#include "engine/transfer/http_transfer.h"
#include "engine/transfer/multi_loop.h"
#include "engine/transfer/parked_transfer.h"

namespace zenvira::components::pagefetch {
namespace {

// libcurl's command-line tool reads with buffers of this size; matching it keeps us as fast.
constexpr long kReceiveBufferBytes = 100 * 1024;

// How long one wait may last when libcurl has no timer of its own running: a wake-up or a
// socket event ends it sooner.
constexpr std::chrono::milliseconds kLongestWait{1000};

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// What the page's callbacks keep while the transfer runs.
class PageReader {
public:
    PageReader(TransferOutcome& outcome, const FetchOptions& options)
        : outcome_(outcome),
          maxBody_(options.maxBodyBytes),
          mediaPrefixBytes_(options.mediaPrefixBytes),
          parking_(options.parkMedia) {}

    bool mediaBody() const { return mediaBody_; }
    // A parked media answer has all it needs to be told apart: the transfer may pause.
    bool prefixComplete() const { return parking_ && outcome_.mediaPrefix; }

    // At the end of each head: a new response starts, what belonged to the previous one (a
    // redirect, a 100 Continue, a proxy's CONNECT answer) is forgotten; a success's body
    // announced too large is refused before any of it arrives, and one that fits is given
    // its room once.
    bool takeHead(const ResponseHead& head) {
        outcome_.body.clear();
        mediaBody_ = false;
        if (head.status < 200 || head.status >= 300) return true;
        if (mediaPrefixBytes_ > 0 && isMediaType(head.contentType)) {
            mediaBody_ = true;
            return true;
        }
        if (!head.contentLength) return true;
        if (static_cast<unsigned long long>(*head.contentLength) > maxBody_) {
            outcome_.bodyTooLarge = true;
            return false;
        }
        try {
            outcome_.body.reserve(static_cast<std::size_t>(*head.contentLength));
        } catch (const std::bad_alloc&) {
            outcome_.outOfMemory = true;
            return false;
        }
        return true;
    }

    std::size_t takeBody(const ResponseHead& head, const char* data, std::size_t bytes) {
        auto& body = outcome_.body;
        if (head.status >= 400) return 0;  // only the status matters: stop reading now
        if (mediaBody_ && parking_) {
            // Every byte is kept, for the download to write first; the text gets the prefix.
            body.append(data, bytes);
            outcome_.mediaPrefix = body.size() >= mediaPrefixBytes_;
            return bytes;
        }
        if (mediaBody_ && body.size() + bytes >= mediaPrefixBytes_) {
            body.append(data, mediaPrefixBytes_ - body.size());
            outcome_.mediaPrefix = true;
            return 0;  // enough to tell what the file is
        }
        if (bytes > maxBody_ - body.size()) {
            outcome_.bodyTooLarge = true;
            return 0;
        }
        try {
            body.append(data, bytes);
        } catch (const std::bad_alloc&) {
            outcome_.outOfMemory = true;
            return 0;
        }
        return bytes;
    }

private:
    TransferOutcome& outcome_;
    std::size_t maxBody_;
    std::size_t mediaPrefixBytes_;
    bool parking_;
    bool mediaBody_ = false;
};

TransferLimits pageLimits(const FetchOptions& options) {
    TransferLimits limits;
    limits.maxRedirects = options.maxRedirects;
    limits.connectTimeout = options.connectTimeout;
    limits.totalTimeout = options.totalTimeout;
    limits.stallLimit = std::chrono::seconds(0);  // the overall time-out bounds a page
    limits.receiveBuffer = kReceiveBufferBytes;
    limits.encoding = options.acceptCompressed ? ContentEncoding::Any : ContentEncoding::NotAsked;
    limits.http11Only = false;
    limits.suppressProxyHeads = false;  // a proxy's refusal is told with its own words
    return limits;
}

void readTransferInfo(const HttpTransfer& transfer, TransferOutcome& out) {
    CURL* easy = transfer.handle();
    const ResponseHead& head = transfer.head();
    out.status = head.status;
    out.reason = head.reason;
    out.contentType = head.contentType;
    out.contentDisposition = head.contentDisposition;
    out.headComplete = head.complete;
    const TransferFailure failure = transfer.failure(out.code);
    out.osErrno = failure.osErrno;
    out.curlMessage = failure.message;
    out.effectiveUrl = failure.effectiveUrl;
    curl_off_t elapsed = 0;
    if (curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &elapsed) == CURLE_OK) out.elapsedMicros = elapsed;
    curl_off_t connected = 0;
    if (curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected) == CURLE_OK) out.connectedMicros = connected;
    long connectStatus = 0;
    if (curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectStatus) == CURLE_OK) out.proxyStatus = connectStatus;
    long status = 0;
    if (out.status == 0 && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) out.status = status;
}

// Runs the transfer on its loop until it ends, pauses at its body or the token is cancelled.
CURLcode runToEnd(MultiLoop& loop, HttpTransfer& transfer, const CancelToken& stop, bool& cancelled) {
    if (!loop.add(transfer)) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (bool ended = false; !ended && !transfer.pausedAtBody();) {
        if (stop.cancelled()) {
            cancelled = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        for (const auto& [done, code] : loop.perform()) {
            if (done != &transfer) continue;
            result = code;
            ended = true;
        }
        if (!ended && !transfer.pausedAtBody()) loop.wait(kLongestWait);
    }
    if (!transfer.pausedAtBody() || cancelled) loop.remove(transfer);
    return result;
}

// Ties a cancel to the loop for as long as the page is read.
class CancelWatch {
public:
    CancelWatch(CancelToken* cancel, CURLM* multi) : cancel_(cancel), multi_(multi) {
        if (cancel_) cancel_->attach(multi_);
    }
    ~CancelWatch() {
        if (cancel_) cancel_->detach(multi_);
    }
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;

private:
    CancelToken* cancel_;
    CURLM* multi_;
};

}  // namespace

bool isMediaType(std::string_view contentType) {
    const std::string type = text::lowerAscii(trimmed(contentType.substr(0, contentType.find(';'))));
    if (type.find("mpegurl") != std::string::npos) return false;  // an HLS playlist is text
    return type.starts_with("video/") || type.starts_with("audio/") || type == "application/octet-stream" ||
           type == "binary/octet-stream" || type == "application/mp4" || type == "application/x-flv";
}

TransferOutcome runTransfer(const std::string& url, const FetchOptions& options, CancelToken* cancel) {
    TransferOutcome outcome;
    PageReader reader(outcome, options);
    const bool parking = options.parkMedia && options.mediaPrefixBytes > 0;
    TransferRequest request;
    request.url = url;
    request.userAgent = options.userAgent;
    if (parking) {
        request.range = ByteRange{0, 1};
        request.toTheEnd = true;
    }
    auto transfer = std::make_shared<HttpTransfer>(request, nullptr, pageLimits(options));
    HttpTransfer& page = *transfer;
    page.setBodyHandler([&reader, &page](const char* data, std::size_t length) {
        const std::size_t taken = reader.takeBody(page.head(), data, length);
        if (reader.prefixComplete()) page.pauseAtBody();
        return taken;
    });
    page.setHeadHandler([&reader](const ResponseHead& head) { return reader.takeHead(head); });
    // The loop keeps a stop of its own: a parked answer outlives the caller's token.
    auto loop = std::make_unique<MultiLoop>();
    if (!page.valid()) {
        outcome.code = CURLE_FAILED_INIT;
        return outcome;
    }
    CancelToken unused;  // a fetch nobody can cancel
    {
        const CancelWatch watch(cancel, loop->handle());
        outcome.code = runToEnd(*loop, page, cancel ? *cancel : unused, outcome.cancelled);
    }
    if (outcome.mediaPrefix && outcome.code == CURLE_WRITE_ERROR) outcome.code = CURLE_OK;
    if (reader.mediaBody()) outcome.mediaPrefix = true;  // a short file ends before the prefix does
    readTransferInfo(page, outcome);
    if (outcome.code != CURLE_OK) outcome.body.clear();
    if (page.pausedAtBody() && !outcome.cancelled) {
        // The download of this address goes on from here, with what was read so far.
        page.setHeadHandler(nullptr);
        page.setBodyHandler(nullptr);
        page.setTimeLimits(TransferLimits{});
        page.holdBody(outcome.body);
        outcome.body.resize(std::min(outcome.body.size(), options.mediaPrefixBytes));
        parkTransfer({url, std::move(loop), std::move(transfer), std::chrono::steady_clock::now()});
    }
    return outcome;
}

}  // namespace zenvira::components::pagefetch
