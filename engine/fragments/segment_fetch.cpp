#include "engine/fragments/segment_fetch.h"

#include <algorithm>
#include <ctime>
#include <deque>
#include <list>
#include <memory>

#include "engine/transfer/first_bytes.h"
#include "engine/transfer/host_connections.h"
#include "engine/transfer/http_status.h"
#include "engine/transfer/http_transfer.h"
#include "engine/transfer/multi_loop.h"
#include "engine/transfer/shown_text.h"
#include "engine/transfer/transfer_errors.h"

namespace zenvira::components {

namespace {

using Clock = std::chrono::steady_clock;

// The longest Retry-After waited out; a server asking for more fails the fetch.
constexpr std::int64_t kLongestWaitSeconds = 300;
constexpr auto kLoopWait = std::chrono::milliseconds(100);

struct Waiting {
    std::size_t index = 0;
    Clock::time_point notBefore{};
};

struct Attempt {
    std::size_t index = 0;
    std::string host;
    std::string body;
    bool tooLarge = false;
    std::unique_ptr<HttpTransfer> http;
};

// How one attempt ended: its body for the caller, or why not and whether to try again.
struct Verdict {
    bool good = false;
    bool again = false;
    std::string reason;
    std::optional<std::int64_t> waitSeconds;  // the server's Retry-After
    bool expired = false;  // 403 or 410
    FailureCause cause{FailureKind::Content};
};

Verdict refused(std::string reason, bool again, FailureCause cause = {FailureKind::Content}) {
    Verdict verdict;
    verdict.again = again;
    verdict.reason = std::move(reason);
    verdict.cause = cause;
    return verdict;
}

bool permanentStatus(int status) { return status == 401 || status == 403 || status == 404 || status == 410; }

class PieceFetch {
public:
    PieceFetch(const std::vector<PieceRequest>& pieces, const SegmentFetchSettings& settings, CancelToken& stop,
               const std::function<void(std::int64_t)>& onBytes)
        : pieces_(pieces),
          settings_(settings),
          loop_(stop),
          onBytes_(onBytes),
          failures_(pieces.size(), 0),
          place_(pieces.size(), 0) {
        loop_.setPacer(settings.pacer);
    }

    ~PieceFetch() {
        for (auto& attempt : running_) {
            loop_.remove(*attempt.http);
            HostConnections::give(attempt.host);
            onBytes_(-static_cast<std::int64_t>(attempt.body.size()));
        }
    }

    void want(std::size_t index) { queue_.push_back({index, {}}); }
    bool idle() const { return queue_.empty() && running_.empty(); }
    int running() const { return static_cast<int>(running_.size()); }
    // Whether the failure that ended the fetch was an address no longer served.
    bool expired() const { return expired_; }
    FailureCause cause() const { return cause_; }

    // Starts what may start now: a piece waiting out its retry delay lets later ones go first.
    // A text: a transfer could not be set up.
    std::string launch() {
        const auto now = Clock::now();
        std::size_t urgent = putWantedFirst();  // the front of the queue someone waits for
        for (auto it = queue_.begin(); it != queue_.end();) {
            const bool wanted = static_cast<std::size_t>(it - queue_.begin()) < urgent;
            if (running() >= settings_.connections + (wanted ? 1 : 0)) break;
            if (it->notBefore > now) {
                ++it;
                continue;
            }
            const std::string host = hostOfAddress(addressOf(it->index));
            // The host's budget is shared by every download; one connection always goes on,
            // and so does one a player waits for.
            if (!HostConnections::take(host, running_.empty() || wanted)) break;
            const std::size_t index = it->index;
            it = queue_.erase(it);
            if (wanted) --urgent;
            if (!start(index, host)) return "Could not start a transfer for " + shownText(addressOf(index));
        }
        return {};
    }

    // Moves every transfer along; each piece that came whole goes to `take`. A text: failed.
    std::string turn(const std::function<std::string(std::size_t, std::string&&, const PieceHead&)>& take) {
        for (const auto& [ended, code] : loop_.perform()) {
            auto it =
                std::find_if(running_.begin(), running_.end(), [&](const Attempt& a) { return a.http.get() == ended; });
            if (it == running_.end()) continue;
            loop_.remove(*it->http);
            HostConnections::give(it->host);
            Verdict verdict = judge(*it, code);
            std::string error;
            if (verdict.good) {
                PieceHead head{it->http->head().etag, it->http->head().lastModified, it->http->head().contentType,
                               it->http->effectiveUrl()};
                error = take(it->index, std::move(it->body), head);
            } else {
                onBytes_(-static_cast<std::int64_t>(it->body.size()));
                error = retryOrFail(it->index, verdict);
            }
            running_.erase(it);
            if (!error.empty()) return error;
        }
        return {};
    }

    void wait() {
        auto longest = std::chrono::duration_cast<std::chrono::milliseconds>(kLoopWait);
        if (running_.empty() && !queue_.empty()) {
            const auto soonest = std::min_element(queue_.begin(), queue_.end(), [](const Waiting& a, const Waiting& b) {
                                     return a.notBefore < b.notBefore;
                                 })->notBefore;
            longest = std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()),
                                 std::chrono::milliseconds(0), longest);
        }
        loop_.wait(longest);
    }

private:
    // Moves the pieces waited for to the front of the queue, in their order; how many moved.
    std::size_t putWantedFirst() {
        if (!settings_.wantedFirst) return 0;
        const std::vector<std::size_t> wanted = settings_.wantedFirst();
        std::size_t moved = 0;
        for (const std::size_t index : wanted) {
            const auto found = std::find_if(queue_.begin() + static_cast<std::ptrdiff_t>(moved), queue_.end(),
                                            [index](const Waiting& w) { return w.index == index; });
            if (found == queue_.end()) continue;  // running, done or not this fetch's
            std::rotate(queue_.begin() + static_cast<std::ptrdiff_t>(moved), found, found + 1);
            ++moved;
        }
        return moved;
    }

    // The address a piece is asked at now: its first, or the fallback it has come to.
    const std::string& addressOf(std::size_t index) const {
        const PieceRequest& piece = pieces_[index];
        return place_[index] == 0 ? piece.address : piece.fallbacks[place_[index] - 1];
    }

    bool start(std::size_t index, const std::string& host) {
        const PieceRequest& piece = pieces_[index];
        Attempt& attempt = running_.emplace_back();
        attempt.index = index;
        attempt.host = host;
        TransferRequest request{addressOf(index), settings_.userAgent, std::nullopt, {}};
        if (piece.byteRange)
            request.range = ByteRange{static_cast<std::int64_t>(piece.byteRange->first),
                                      static_cast<std::int64_t>(piece.byteRange->first + piece.byteRange->second)};
        attempt.http = std::make_unique<HttpTransfer>(request, [this, &attempt](const char* data, std::size_t length) {
            if (attempt.body.size() + length > settings_.maxPieceBytes) {
                attempt.tooLarge = true;
                return std::size_t{0};
            }
            attempt.body.append(data, length);
            onBytes_(static_cast<std::int64_t>(length));
            return length;
        });
        attempt.http->setPacer(settings_.pacer);
        return loop_.add(*attempt.http);
    }

    Verdict judge(Attempt& attempt, CURLcode code) const {
        const PieceRequest& piece = pieces_[attempt.index];
        const std::string where = " (" + shownText(addressOf(attempt.index)) + ")";
        const ResponseHead& head = attempt.http->head();
        if (attempt.tooLarge)
            return refused(settings_.pieceName + " is larger than any such piece should be" + where, false);
        if (code != CURLE_OK) {
            const CurlFailure failure = attempt.http->failure(code);
            return refused(
                describeCurlFailure(failure) + where, isRetryable(failure),
                {isRetryable(failure) || isUnreachable(failure.code) ? FailureKind::Network : FailureKind::Unknown});
        }
        if (head.status == 429 || head.status == 503) {
            Verdict busy = refused(httpStatusText(head.status, {}) + where, true, FailureCause::ofStatus(head.status));
            busy.waitSeconds = retryAfterSeconds(head.retryAfter, static_cast<std::int64_t>(std::time(nullptr)));
            return busy;
        }
        const bool partial = head.status == 206 && piece.byteRange;
        if (head.status != 200 && !partial) {
            Verdict failed = refused(httpStatusText(head.status, {}) + where, !permanentStatus(head.status),
                                     FailureCause::ofStatus(head.status));
            failed.expired = head.status == 403 || head.status == 410;
            return failed;
        }
        if (piece.byteRange && !partial) {  // the server ignored the range: the piece is cut out of the whole
            const auto [offset, length] = *piece.byteRange;
            if (attempt.body.size() < offset + length)
                return refused(settings_.pieceName + " came shorter than its byte range" + where, true);
            attempt.body = attempt.body.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
        }
        if (settings_.mediaOnly)
            if (auto wrong = notMediaProblem(attempt.body, settings_.pieceName + where)) return refused(*wrong, true);
        Verdict good;
        good.good = true;
        return good;
    }

    // Another try after a doubling wait (or the server's own), or the fetch's reason to fail.
    std::string retryOrFail(std::size_t index, const Verdict& verdict) {
        // A place that fails is left for the next at once; a busy server is waited out.
        if (!verdict.waitSeconds && place_[index] < pieces_[index].fallbacks.size()) {
            ++place_[index];
            failures_[index] = 0;
            queue_.push_front({index, {}});
            return {};
        }
        const int failed = ++failures_[index];
        if (!verdict.again || failed >= settings_.attempts) {
            expired_ = verdict.expired;
            cause_ = verdict.cause;
            return verdict.reason;
        }
        auto wait = settings_.firstRetryWait * (1 << std::min(failed - 1, 10));
        if (verdict.waitSeconds) {
            if (*verdict.waitSeconds > kLongestWaitSeconds) {
                cause_ = verdict.cause;
                return "The server is busy (" + verdict.reason + ") and asks to come back in " +
                       std::to_string((*verdict.waitSeconds + 59) / 60) + " minutes";
            }
            wait = std::max(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::seconds(*verdict.waitSeconds)));
        }
        queue_.push_front({index, Clock::now() + wait});
        return {};
    }

    const std::vector<PieceRequest>& pieces_;
    const SegmentFetchSettings& settings_;
    MultiLoop loop_;
    const std::function<void(std::int64_t)>& onBytes_;
    std::vector<int> failures_;
    std::vector<std::size_t> place_;  // of each piece: 0 its address, then its fallbacks in turn
    std::deque<Waiting> queue_;
    std::list<Attempt> running_;  // a list: body handlers hold references to their attempt
    bool expired_ = false;
    FailureCause cause_;
};

}  // namespace

SegmentFetchResult fetchPieces(const std::vector<PieceRequest>& pieces, const std::vector<std::size_t>& wanted,
                               const SegmentFetchSettings& settings, CancelToken& stop, const PieceHandler& onPiece,
                               const std::function<void(std::int64_t)>& onBytes,
                               const std::function<void(int)>& onConnections, const std::function<void()>& tick) {
    SegmentFetchResult result{SegmentFetchStatus::Complete, {}};
    {
        PieceFetch fetch(pieces, settings, stop, onBytes);
        for (const auto index : wanted) fetch.want(index);
        while (!fetch.idle()) {
            if (stop.cancelled()) {
                result = {SegmentFetchStatus::Stopped, {}};
                break;
            }
            if (std::string error = fetch.launch(); !error.empty()) {
                result = {SegmentFetchStatus::Failed, std::move(error)};
                break;
            }
            onConnections(fetch.running());
            if (std::string error = fetch.turn(onPiece); !error.empty()) {
                result = {SegmentFetchStatus::Failed, std::move(error), fetch.expired(), fetch.cause()};
                break;
            }
            tick();
            fetch.wait();
        }
    }
    onConnections(0);
    return result;
}

}  // namespace zenvira::components
