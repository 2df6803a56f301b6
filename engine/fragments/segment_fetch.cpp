#include "engine/fragments/segment_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <deque>
#include <list>
#include <memory>

#include "engine/transfer/ca_bundle.h"
#include "engine/transfer/http_transfer.h"
#include "engine/transfer/http_status.h"
#include "engine/transfer/shown_text.h"
#include "engine/transfer/transfer_failure.h"

namespace zenvira::components {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 10;

struct Attempt {
    std::size_t index = 0;
    CURL* easy = nullptr;
    std::string body;
    long status = 0;
    bool tooLarge = false;
    std::size_t maxBytes = 0;
    const std::function<void(std::int64_t)>* onBytes = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    long osErrno = 0;          // read before the handle goes, for the failure's text
    std::string effectiveUrl;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& attempt = *static_cast<Attempt*>(user);
    const std::size_t bytes = size * count;
    if (attempt.body.size() + bytes > attempt.maxBytes) {
        attempt.tooLarge = true;
        return 0;
    }
    attempt.body.append(data, bytes);
    (*attempt.onBytes)(static_cast<std::int64_t>(bytes));
    return bytes;
}

struct Pending {
    std::size_t index;
    int failures = 0;
    Clock::time_point notBefore{};
};

std::string describe(const Attempt& attempt, CURLcode code, const std::string& address) {
    const std::string where = " (" + shownText(address) + ")";
    if (attempt.tooLarge) return "A segment is larger than any segment should be" + where;
    if (code == CURLE_OK) return httpStatusText(attempt.status, {}) + where;
    TransferFailure failure;
    failure.code = code;
    failure.osErrno = attempt.osErrno;
    failure.message = attempt.error;
    failure.host = hostOfAddress(address);
    failure.effectiveUrl = attempt.effectiveUrl;
    failure.maxRedirects = kMaxRedirects;
    return commonFailureText(failure).value_or(failureDetail(failure)) + where;
}

bool permanent(const Attempt& attempt, CURLcode code) {
    if (code == CURLE_OK) return attempt.status == 404 || attempt.status == 410 || attempt.status == 403 || attempt.status == 401;
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_UNSUPPORTED_PROTOCOL ||
           code == CURLE_URL_MALFORMAT || code == CURLE_TOO_MANY_REDIRECTS;
}

}  // namespace

SegmentFetchResult fetchPieces(const std::vector<PieceRequest>& pieces, const std::vector<std::size_t>& wanted,
                               const SegmentFetchSettings& settings, CancelToken& stop,
                               const std::function<std::string(std::size_t, std::string&&)>& onPiece,
                               const std::function<void(std::int64_t)>& onBytes, const std::function<void(int)>& onConnections,
                               const std::function<void()>& tick) {
    CURLM* multi = curl_multi_init();
    if (!multi) return {SegmentFetchStatus::Failed, "Could not start a transfer"};
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(std::max(1, settings.connections)));
    stop.attach(multi);
    std::deque<Pending> queue;
    for (const auto index : wanted) queue.push_back({index});
    std::list<Attempt> running;
    std::vector<int> failures(pieces.size(), 0);
    SegmentFetchResult result{SegmentFetchStatus::Complete, {}};

    const auto cleanup = [&] {
        for (auto& attempt : running) {
            curl_multi_remove_handle(multi, attempt.easy);
            curl_easy_cleanup(attempt.easy);
            onBytes(-static_cast<std::int64_t>(attempt.body.size()));
        }
        running.clear();
        stop.detach(multi);
        curl_multi_cleanup(multi);
        onConnections(0);
    };

    const auto start = [&](const Pending& pending) {
        Attempt& attempt = running.emplace_back();
        attempt.index = pending.index;
        attempt.maxBytes = settings.maxPieceBytes;
        attempt.onBytes = &onBytes;
        attempt.easy = curl_easy_init();
        const PieceRequest& piece = pieces[pending.index];
        CURL* easy = attempt.easy;
        curl_easy_setopt(easy, CURLOPT_URL, piece.address.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, settings.userAgent.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &attempt);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, attempt.error);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(settings.stallLimit.count()));
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &attempt);
        applyCaBundle(easy);
        if (piece.byteRange) {
            const std::string range = std::to_string(piece.byteRange->first) + "-" +
                                      std::to_string(piece.byteRange->first + piece.byteRange->second - 1);
            curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
        }
        curl_multi_add_handle(multi, easy);
    };

    while (true) {
        if (stop.cancelled()) {
            result = {SegmentFetchStatus::Stopped, {}};
            break;
        }
        if (queue.empty() && running.empty()) break;
        const auto now = Clock::now();
        // Start what may start: a piece waiting out its retry delay lets later ones go first.
        for (auto it = queue.begin(); it != queue.end() && static_cast<int>(running.size()) < settings.connections;) {
            if (it->notBefore <= now) {
                start(*it);
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
        onConnections(static_cast<int>(running.size()));
        int stillRunning = 0;
        curl_multi_perform(multi, &stillRunning);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            Attempt* attempt = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &attempt);
            const CURLcode code = message->data.result;
            curl_easy_getinfo(attempt->easy, CURLINFO_RESPONSE_CODE, &attempt->status);
            curl_easy_getinfo(attempt->easy, CURLINFO_OS_ERRNO, &attempt->osErrno);
            char* effective = nullptr;
            if (curl_easy_getinfo(attempt->easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
                attempt->effectiveUrl = effective;
            curl_multi_remove_handle(multi, attempt->easy);
            curl_easy_cleanup(attempt->easy);
            attempt->easy = nullptr;
            const PieceRequest& piece = pieces[attempt->index];
            const bool good = code == CURLE_OK && !attempt->tooLarge &&
                              (attempt->status == 200 || (attempt->status == 206 && piece.byteRange)) &&
                              (!piece.byteRange || attempt->status == 206 ||
                               attempt->body.size() >= piece.byteRange->first + piece.byteRange->second);
            if (good) {
                std::string body = std::move(attempt->body);
                if (piece.byteRange && attempt->status == 200)  // the server ignored the range
                    body = body.substr(static_cast<std::size_t>(piece.byteRange->first), static_cast<std::size_t>(piece.byteRange->second));
                if (std::string error = onPiece(attempt->index, std::move(body)); !error.empty()) result = {SegmentFetchStatus::Failed, error};
            } else {
                onBytes(-static_cast<std::int64_t>(attempt->body.size()));
                const int failed = ++failures[attempt->index];
                if (permanent(*attempt, code) || failed >= settings.attempts) {
                    result = {SegmentFetchStatus::Failed, describe(*attempt, code, piece.address)};
                } else {
                    const auto wait = settings.firstRetryWait * (1 << std::min(failed - 1, 10));
                    queue.push_front({attempt->index, failed, Clock::now() + wait});
                }
            }
            running.remove_if([attempt](const Attempt& a) { return &a == attempt; });
            if (result.status == SegmentFetchStatus::Failed) break;
        }
        if (result.status == SegmentFetchStatus::Failed) break;
        tick();
        int ignored = 0;
        curl_multi_poll(multi, nullptr, 0, 100, &ignored);
    }
    cleanup();
    return result;
}

}  // namespace zenvira::components
