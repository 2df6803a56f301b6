#include "engine/page_fetch/curl_transfer.h"

#include "engine/transfer/ca_bundle.h"

#include <charconv>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "base/text_ops.h"

namespace zenvira::components::pagefetch {
namespace {

// libcurl's command-line tool reads with buffers of this size; matching it keeps us as fast.
constexpr long kReceiveBufferBytes = 100 * 1024;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// Ties a cancel to the running transfer for as long as the transfer holds its handles.
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
    bool cancelled() const { return cancel_ && cancel_->cancelled(); }

private:
    CancelToken* cancel_;
    CURLM* multi_;
};

// How long one wait may last when libcurl has no timer of its own running: a wake-up or a
// socket event ends it sooner.
constexpr int kLongestWaitMs = 1000;

// What the callbacks see while the transfer runs.
struct TransferState {
    explicit TransferState(TransferOutcome& out, std::size_t limit, std::size_t prefix)
        : outcome(out), maxBody(limit), mediaPrefixBytes(prefix) {}
    TransferOutcome& outcome;
    std::size_t maxBody;
    std::size_t mediaPrefixBytes;
    bool mediaBody = false;
    std::optional<unsigned long long> contentLength;
};

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// "HTTP/1.1 404 Not Found": a new response starts; what belonged to the previous one
// (a redirect, a 100 Continue, a proxy's CONNECT answer) is forgotten.
void startResponse(TransferState& state, std::string_view line) {
    auto& out = state.outcome;
    out.status = 0;
    out.reason.clear();
    out.contentType.clear();
    out.contentDisposition.clear();
    out.headComplete = false;
    out.body.clear();
    state.mediaBody = false;
    state.contentLength.reset();
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return;
    std::string_view rest = line.substr(space + 1);
    long status = 0;
    const auto parsed = std::from_chars(rest.data(), rest.data() + rest.size(), status);
    if (parsed.ec != std::errc()) return;
    out.status = status;
    out.reason = std::string(trimmed(std::string_view(parsed.ptr, rest.data() + rest.size() - parsed.ptr)));
}

void readHeaderField(TransferState& state, std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string name = text::lowerAscii(trimmed(line.substr(0, colon)));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (name == "content-type") {
        state.outcome.contentType = std::string(value);
    } else if (name == "content-disposition") {
        state.outcome.contentDisposition = std::string(value);
    } else if (name == "content-length") {
        unsigned long long length = 0;
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), length);
        if (parsed.ec == std::errc()) state.contentLength = length;
    }
}

// At the end of a success's headers: refuse a body announced too large before any of it
// arrives, and size the buffer once for one that fits.
bool acceptAnnouncedLength(TransferState& state) {
    const long status = state.outcome.status;
    if (status < 200 || status >= 300) return true;
    if (state.mediaPrefixBytes > 0 && isMediaType(state.outcome.contentType)) {
        state.mediaBody = true;
        return true;
    }
    if (!state.contentLength) return true;
    if (*state.contentLength > state.maxBody) {
        state.outcome.bodyTooLarge = true;
        return false;
    }
    state.outcome.body.reserve(static_cast<std::size_t>(*state.contentLength));
    return true;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    try {
        const std::string_view line(data, bytes);
        if (line.starts_with("HTTP/"))
            startResponse(state, line);
        else if (trimmed(line).empty()) {
            state.outcome.headComplete = true;
            return acceptAnnouncedLength(state) ? bytes : 0;
        }
        else
            readHeaderField(state, line);
    } catch (const std::bad_alloc&) {
        state.outcome.outOfMemory = true;
        return 0;
    }
    return bytes;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    const std::size_t bytes = size * count;
    auto& out = state.outcome;
    if (out.status >= 400) return 0;  // only the status matters: stop reading now
    if (state.mediaBody && out.body.size() + bytes >= state.mediaPrefixBytes) {
        out.body.append(data, state.mediaPrefixBytes - out.body.size());
        out.mediaPrefix = true;
        return 0;  // enough to tell what the file is
    }
    if (bytes > state.maxBody - out.body.size()) {
        out.bodyTooLarge = true;
        return 0;
    }
    try {
        out.body.append(data, bytes);
    } catch (const std::bad_alloc&) {
        out.outOfMemory = true;
        return 0;
    }
    return bytes;
}

void setOptions(CURL* easy, const std::string& url, const FetchOptions& options, TransferState& state,
                char* errorBuffer) {
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM in a threaded program
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, options.maxRedirects);
    if (options.acceptCompressed) curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
    applyCaBundle(easy);
}

void readTransferInfo(CURL* easy, TransferOutcome& out) {
    long osErrno = 0;
    if (curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno) == CURLE_OK) out.osErrno = osErrno;
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) out.effectiveUrl = effective;
    curl_off_t elapsed = 0;
    if (curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &elapsed) == CURLE_OK) out.elapsedMicros = elapsed;
    curl_off_t connected = 0;
    if (curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected) == CURLE_OK) out.connectedMicros = connected;
    long connectStatus = 0;
    if (curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectStatus) == CURLE_OK) out.proxyStatus = connectStatus;
    long status = 0;
    if (out.status == 0 && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) out.status = status;
}

}  // namespace

bool isMediaType(std::string_view contentType) {
    const std::string type = text::lowerAscii(trimmed(contentType.substr(0, contentType.find(';'))));
    if (type.find("mpegurl") != std::string::npos) return false;  // an HLS playlist is text
    return type.starts_with("video/") || type.starts_with("audio/") || type == "application/octet-stream" ||
           type == "binary/octet-stream" || type == "application/mp4" || type == "application/x-flv";
}

void ensureCurlReady() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

namespace {

// The transfer on the multi interface, waiting in curl_multi_poll, which a cancel wakes.
CURLcode performUntilDone(CURL* easy, CURLM* multi, const CancelWatch& watch, bool& cancelled) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (;;) {
        if (watch.cancelled()) {
            cancelled = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int queued = 0;
            result = CURLE_RECV_ERROR;  // a transfer that ends always leaves its message
            while (CURLMsg* message = curl_multi_info_read(multi, &queued))
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

}  // namespace

TransferOutcome runTransfer(const std::string& url, const FetchOptions& options, CancelToken* cancel) {
    TransferOutcome outcome;
    EasyHandle easy(curl_easy_init());
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi) {
        outcome.code = CURLE_FAILED_INIT;
        return outcome;
    }
    TransferState state(outcome, options.maxBodyBytes, options.mediaPrefixBytes);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setOptions(easy.get(), url, options, state, errorBuffer);
    {
        const CancelWatch watch(cancel, multi.get());
        outcome.code = performUntilDone(easy.get(), multi.get(), watch, outcome.cancelled);
    }
    if (outcome.mediaPrefix && outcome.code == CURLE_WRITE_ERROR) outcome.code = CURLE_OK;
    if (state.mediaBody) outcome.mediaPrefix = true;  // a short file ends before the prefix does
    outcome.curlMessage = errorBuffer;
    readTransferInfo(easy.get(), outcome);
    if (outcome.code != CURLE_OK) outcome.body.clear();
    return outcome;
}

}  // namespace zenvira::components::pagefetch
