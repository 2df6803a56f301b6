#include "engine/ranges/whole_fetch.h"

#include "engine/journal/disk_room.h"
#include "engine/transfer/first_bytes.h"

namespace zenvira::components {

namespace {

// The written bytes are sent on to the disk in steps of this size.
constexpr std::int64_t kWritebackBytes = 1 << 20;

constexpr const char* kNoSizeText = "The server did not tell the size of the file, so it could not be checked";

PhaseResult resultOf(PhaseStatus status, std::string error = {}, std::string warning = {}) {
    PhaseResult result;
    result.status = status;
    result.error = std::move(error);
    result.warning = std::move(warning);
    return result;
}

}  // namespace

WholeFetch::WholeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url, std::string shownName,
                       std::int64_t knownSize, std::shared_ptr<HttpTransfer> firstBytes)
    : context_(context), file_(file), url_(std::move(url)), shownName_(std::move(shownName)), knownSize_(knownSize),
      firstBytes_(std::move(firstBytes)) {
    if (firstBytes_ && !firstBytes_->pausedAtBody()) firstBytes_.reset();
}

PhaseResult WholeFetch::run() {
    for (int retries = 0;; ++retries) {
        std::string reason;
        switch (attempt(reason)) {
        case Ending::Complete:
            return resultOf(PhaseStatus::Complete, {}, completionWarning());
        case Ending::Failed: {
            PhaseResult failed = resultOf(PhaseStatus::Failed, reason);
            failed.notMedia = notMedia_;
            failed.cause = cause_;
            return failed;
        }
        case Ending::Stopped:
            return resultOf(PhaseStatus::Stopped);
        case Ending::Retry:
            break;
        }
        if (retries >= context_.retry.maxRetries) {
            PhaseResult failed =
                resultOf(PhaseStatus::Failed,
                         reason + " (gave up after " + std::to_string(context_.retry.maxRetries) + " retries)");
            failed.cause = cause_;
            return failed;
        }
        if (!pauseFor(context_, context_.retry.firstBackOff * (1 << retries))) return resultOf(PhaseStatus::Stopped);
    }
}

WholeFetch::Ending WholeFetch::attempt(std::string& reason) {
    // Starting over: what the last attempt counted is written again from the first byte.
    context_.meter.takeBackDone(received_);
    received_ = 0;
    writebackFrom_ = 0;
    headAccepted_ = false;
    notMedia_ = false;
    cause_ = {FailureKind::Content};  // what a refusal of the answer is, unless said otherwise
    auto onBody = [this](const char* data, std::size_t length) { return takeBody(data, length); };
    // The probe's answer serves the first attempt; a retry asks again.
    std::shared_ptr<HttpTransfer> transfer = std::move(firstBytes_);
    const bool onTheLoop = transfer != nullptr;
    if (onTheLoop) transfer->setBodyHandler(onBody);
    else transfer = std::make_shared<HttpTransfer>(TransferRequest{url_, context_.userAgent, std::nullopt, {}}, onBody);
    transfer->setPacer(context_.pacer.get());
    current_ = transfer.get();
    CURLcode code = CURLE_OK;
    const bool ended = runToEnd(*transfer, code, onTheLoop);
    current_ = nullptr;
    if (!ended) return Ending::Stopped;
    return judge(*transfer, code, reason);
}

bool WholeFetch::runToEnd(HttpTransfer& transfer, CURLcode& code, bool onTheLoop) {
    if (onTheLoop) {
        transfer.resume();  // the held bytes may come at once
    } else if (!context_.loop.add(transfer)) {
        code = CURLE_FAILED_INIT;
        return true;
    }
    context_.meter.setConnections(1);
    bool ended = false;
    while (!ended && !context_.stop.cancelled()) {
        for (const auto& [done, result] : context_.loop.perform()) {
            if (done != &transfer) continue;
            code = result;
            ended = true;
        }
        context_.tick();
        if (!ended) context_.loop.wait(kLoopTick);
    }
    context_.loop.remove(transfer);
    context_.meter.setConnections(0);
    return ended;
}

std::size_t WholeFetch::takeBody(const char* data, std::size_t length) {
    // Refused once, refused for good: bytes libcurl still hands over (as when a paused
    // transfer is resumed) are not taken.
    if (!fatal_.empty()) return 0;
    if (!headAccepted_) {
        if (!acceptHead(current_->head())) return 0;
        headAccepted_ = true;
    }
    std::string error;
    if (!file_.writeAt(data, length, received_, error)) {
        fatal_ = "Cannot write to the file " + shownName_ + ": " + error;
        cause_ = {FailureKind::Disk};
        return 0;
    }
    if (context_.stream) context_.stream->arrived({received_, received_ + static_cast<std::int64_t>(length)});
    const bool judged = received_ >= static_cast<std::int64_t>(kFirstBytesChecked);
    received_ += static_cast<std::int64_t>(length);
    // The disk starts on what came while more arrives: the flush at the end waits for less.
    if (received_ - writebackFrom_ >= kWritebackBytes) {
        file_.startWriteback(writebackFrom_, received_ - writebackFrom_);
        writebackFrom_ = received_;
    }
    context_.meter.addDone(static_cast<std::int64_t>(length));
    // A page in place of the video is caught at its first bytes, not once all of it is in.
    if (!judged && received_ >= static_cast<std::int64_t>(kFirstBytesChecked) && namesMedia(shownName_)) {
        std::string first(kFirstBytesChecked, '\0');
        if (file_.readAt(first.data(), first.size(), 0, error))
            if (auto wrong = notMediaProblem(first, "The file " + shownName_)) {
                fatal_ = *wrong;
                notMedia_ = true;
                return 0;
            }
    }
    return length;
}

bool WholeFetch::acceptHead(const ResponseHead& head) {
    // A compressed file may come as the part "bytes=0-" that holds all of it.
    const bool wholePart = head.status == 206 && head.encoded() && head.contentRange && head.contentRange->first == 0 &&
                           head.contentRange->total && head.contentRange->last + 1 == *head.contentRange->total;
    if (head.status >= 400) {
        fatal_ = httpStatusText(head.status, head.reason);
        cause_ = FailureCause::ofStatus(head.status);
    } else if (head.status != 200 && !wholePart)
        fatal_ = "Unexpected answer from the server: " + httpStatusText(head.status, head.reason);
    if (!fatal_.empty()) return false;
    // The length of a compressed body is not the file's: it is stored decoded.
    size_ = head.encoded() ? -1 : head.contentLength.value_or(-1);
    lengthChecked_ = head.encoded() && head.contentLength;
    context_.meter.setTotal(size_ >= 0 ? size_ : knownSize_);
    // The bytes come again from the first: a watcher waits for them anew.
    if (context_.stream) context_.stream->begin(size_ >= 0 ? size_ : knownSize_, {});
    // Refused before a byte is allocated: a size no disk here holds must not fill this one.
    if (auto problem = diskRoomProblem(shownName_, size_)) {
        fatal_ = *problem;
        cause_ = {FailureKind::Disk};
        return false;
    }
    std::string error;
    if (size_ > 0 && !file_.reserve(size_, error)) {
        fatal_ = "Cannot create the file " + shownName_ + ": " + error;
        cause_ = {FailureKind::Disk};
        return false;
    }
    return true;
}

WholeFetch::Ending WholeFetch::judge(const HttpTransfer& transfer, CURLcode code, std::string& reason) {
    // An empty body never reached takeBody: its head is judged here.
    if (!headAccepted_ && fatal_.empty() && transfer.head().complete) headAccepted_ = acceptHead(transfer.head());
    if (!fatal_.empty()) {
        reason = fatal_;
        return Ending::Failed;
    }
    // A body without Content-Length ends when the connection does, even cut short: only a
    // size told before can show it is not whole.
    const std::int64_t expected = size_ >= 0 ? size_ : knownSize_;
    if (code == CURLE_OK && headAccepted_ && (expected < 0 || received_ >= expected)) return Ending::Complete;
    const CURLcode cause = code == CURLE_OK ? CURLE_PARTIAL_FILE : code;
    const bool unsizedCut = headAccepted_ && expected < 0 && (cause == CURLE_RECV_ERROR || cause == CURLE_PARTIAL_FILE);
    reason = unsizedCut ? kUnsizedCutShortText : describeCurlFailure(transfer.failure(cause));
    cause_ = {isRetryable(cause) || isUnreachable(cause) ? FailureKind::Network : FailureKind::Unknown};
    return isRetryable(cause) ? Ending::Retry : Ending::Failed;
}

std::string WholeFetch::completionWarning() const {
    if (size_ >= 0 || lengthChecked_) return {};
    if (knownSize_ < 0) return kNoSizeText;
    if (received_ > knownSize_)
        return "The file came larger than the server first announced (" + std::to_string(knownSize_) +
               " bytes), so it could not be checked";
    return {};
}

}  // namespace zenvira::components
