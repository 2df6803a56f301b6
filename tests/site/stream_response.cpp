#include "tests/site/stream_response.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/site/gzip_body.h"
#include "tests/site/http_response.h"

namespace zenvira::site {

namespace {

// Where the body's bytes come from: the generated pattern or a file.
class BodySource {
public:
    explicit BodySource(const StreamShape& stream) : seed_(stream.contentSeed) {
        if (stream.filePath.empty()) {
            size_ = stream.size;
        } else {
            fd_ = ::open(stream.filePath.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat info {};
            if (fd_ >= 0 && ::fstat(fd_, &info) == 0) size_ = static_cast<std::uint64_t>(info.st_size);
        }
        if (stream.gzipEncoded && usable(stream)) compress();
    }
    ~BodySource() {
        if (fd_ >= 0) ::close(fd_);
    }
    BodySource(const BodySource&) = delete;
    BodySource& operator=(const BodySource&) = delete;

    bool usable(const StreamShape& stream) const { return stream.filePath.empty() || fd_ >= 0; }
    std::uint64_t size() const { return size_; }

    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
        if (compressed_) {
            if (offset + length > compressed_->size()) return false;
            std::copy_n(compressed_->data() + offset, length, out);
            return true;
        }
        return readPlain(offset, out, length);
    }

private:
    // The whole resource compressed in memory: what is served from then on.
    void compress() {
        std::string plain(static_cast<std::size_t>(size_), '\0');
        if (!readPlain(0, reinterpret_cast<std::uint8_t*>(plain.data()), plain.size())) return;
        compressed_ = gzipCompress(plain);
        size_ = compressed_->size();
    }

    bool readPlain(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
        if (fd_ < 0) {
            fillStreamBytes(offset, out, length, seed_);
            return true;
        }
        while (length > 0) {
            const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
            if (n <= 0) return false;  // the file shrank or failed under us
            out += n;
            offset += static_cast<std::uint64_t>(n);
            length -= static_cast<std::size_t>(n);
        }
        return true;
    }

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t seed_ = 0;
    std::optional<std::string> compressed_;
};

// Spreads a body over time at a fixed rate from the first body byte: a chunk goes out once
// the clock says the bytes before and in it are due, so waits never add up to drift.
class Pacer {
public:
    Pacer(std::uint64_t bytesPerSecond, StopSignal& stop)
        : rate_(bytesPerSecond), stop_(stop), start_(StopSignal::Clock::now()) {}

    std::size_t chunkSize() const {
        constexpr std::size_t kUnpaced = 256 * 1024;
        if (rate_ == 0) return kUnpaced;
        // About 50 chunks a second, between 256 bytes and 16 KiB.
        return static_cast<std::size_t>(std::clamp<std::uint64_t>(rate_ / 50, 256, 16 * 1024));
    }

    // Waits until `total` body bytes may have been sent; false when the site is stopping.
    bool waitFor(std::uint64_t total) {
        if (rate_ == 0) return !stop_.raised();
        const auto due = std::chrono::duration<double>(static_cast<double>(total) / static_cast<double>(rate_));
        return stop_.sleepUntil(start_ + std::chrono::duration_cast<StopSignal::Clock::duration>(due));
    }

private:
    std::uint64_t rate_;
    StopSignal& stop_;
    StopSignal::Clock::time_point start_;
};

// Sends `length` bytes from `first`, paced, going silent once after `stallAt` bytes; false
// when it could not (peer gone, stopping).
bool sendBody(Connection& connection, const BodySource& source, std::uint64_t first, std::uint64_t length,
              std::uint64_t bytesPerSecond, const StreamHooks& hooks, StopSignal& stop,
              std::optional<std::uint64_t> stallAt = std::nullopt, std::chrono::milliseconds stallFor = {}) {
    Pacer pacer(bytesPerSecond, stop);
    std::vector<std::uint8_t> buffer(pacer.chunkSize());
    for (std::uint64_t sent = 0; sent < length;) {
        if (stallAt && sent == *stallAt && !stop.sleepFor(stallFor)) return false;
        std::uint64_t chunk = std::min<std::uint64_t>(buffer.size(), length - sent);
        if (stallAt && sent < *stallAt) chunk = std::min(chunk, *stallAt - sent);
        const std::size_t n = static_cast<std::size_t>(chunk);
        if (!source.read(first + sent, buffer.data(), n)) return false;
        if (!pacer.waitFor(sent + n)) return false;
        if (!connection.sendAll(buffer.data(), n)) return false;
        if (hooks.sent && !hooks.sent(n)) return false;
        sent += n;
    }
    return true;
}

// A status answer with extra headers and a short body.
bool answerStatusWith(Connection& connection, const http::Request& request, int status,
                      const std::vector<std::pair<std::string, std::string>>& headers) {
    const std::string body = http::statusPage(status);
    http::ResponseHead head(status);
    head.add("Content-Type", "text/html; charset=utf-8");
    for (const auto& [name, value] : headers) head.add(name, value);
    head.contentLength(body.size());
    return connection.sendAll(head.text() + (request.method == "HEAD" ? std::string() : body));
}

bool answerStatus(Connection& connection, const http::Request& request, int status) {
    const std::string body = http::statusPage(status);
    http::ResponseHead head(status);
    head.add("Content-Type", "text/html; charset=utf-8").contentLength(body.size());
    return connection.sendAll(head.text() + (request.method == "HEAD" ? std::string() : body));
}

// A conditional range applies only while the validator still names this resource.
bool rangeStillValid(const http::Request& request, const StreamShape& stream) {
    const std::string validator = request.header("if-range");
    if (validator.empty()) return true;
    return validator == stream.etag || validator == stream.lastModified;
}

// What part of the resource a request gets: all of it (200), one range (206) or none (416).
struct BodyPlan {
    int status = 200;
    std::uint64_t first = 0;
    std::uint64_t length = 0;
};

BodyPlan planBody(const http::Request& request, const StreamShape& stream, std::uint64_t size) {
    const std::string rangeHeader = request.header("range");
    if (!stream.acceptRanges || rangeHeader.empty() || !rangeStillValid(request, stream)) return {200, 0, size};
    const auto range = http::parseRange(rangeHeader, size);
    switch (range.kind) {
    case http::RangeRequest::Kind::Unsatisfiable: return {416, 0, 0};
    case http::RangeRequest::Kind::Satisfiable:
        return {206, range.first, std::min(range.last - range.first + 1, stream.longestPart.value_or(std::numeric_limits<std::uint64_t>::max()))};
    case http::RangeRequest::Kind::None: break;
    }
    return {200, 0, size};
}

// A body that ends at the connection's close, without Content-Length.
bool closeDelimited(const http::Request& request, const StreamShape& stream) {
    return stream.omitContentLength || (stream.omitContentLengthWithoutRange && request.header("range").empty());
}

http::ResponseHead streamHead(const StreamShape& stream, const BodyPlan& plan, std::uint64_t size, bool unsized) {
    http::ResponseHead head(plan.status);
    head.add("Content-Type", stream.contentType);
    if (stream.gzipEncoded) head.add("Content-Encoding", "gzip");
    if (stream.acceptRanges) head.add("Accept-Ranges", "bytes");
    if (plan.status == 206)
        head.add("Content-Range", "bytes " + std::to_string(plan.first) + "-" +
                                      std::to_string(plan.first + plan.length - 1) + "/" + std::to_string(size));
    if (!stream.etag.empty()) head.add("ETag", stream.etag);
    if (!stream.lastModified.empty()) head.add("Last-Modified", stream.lastModified);
    if (!unsized) head.contentLength(stream.declaredLength.value_or(plan.length));
    return head;
}

}  // namespace

bool answerStream(Connection& connection, const http::Request& request, const StreamShape& stream,
                  const StreamHooks& hooks, StopSignal& stop) {
    if (stream.answerDelay.count() > 0 && !stop.sleepFor(stream.answerDelay)) return false;
    if (stream.status >= 400) return answerStatus(connection, request, stream.status);
    if (hooks.expired && hooks.expired()) return answerStatus(connection, request, stream.expiredStatus);
    if (hooks.takeBusy && hooks.takeBusy()) {
        std::vector<std::pair<std::string, std::string>> headers;
        if (!stream.retryAfter.empty()) headers.emplace_back("Retry-After", stream.retryAfter);
        return answerStatusWith(connection, request, stream.busyStatus, headers);
    }
    const BodySource source(stream);
    if (!source.usable(stream)) return answerStatus(connection, request, 404);

    const BodyPlan plan = planBody(request, stream, source.size());
    if (plan.status == 416) {
        http::ResponseHead refused(416);
        refused.add("Content-Range", "bytes */" + std::to_string(source.size())).contentLength(0);
        return connection.sendAll(refused.text());
    }
    const bool unsized = closeDelimited(request, stream);
    http::ResponseHead head = streamHead(stream, plan, source.size(), unsized);
    // After a body of the wrong or no length the client cannot find the next response.
    const bool closeAfter = unsized || (stream.declaredLength && *stream.declaredLength != plan.length);
    if (closeAfter) head.closeConnection();
    if (request.method == "HEAD") return connection.sendAll(head.text()) && !closeAfter;

    const bool cut = stream.dropAfterBytes && hooks.takeDrop && hooks.takeDrop();
    const std::uint64_t bodyBytes = cut ? std::min(plan.length, *stream.dropAfterBytes) : plan.length;
    const bool slow = stream.slowEvery > 0 && hooks.connectionSerial % static_cast<std::uint64_t>(stream.slowEvery) == 0;
    const std::uint64_t rate = slow ? stream.slowBytesPerSecond : stream.bytesPerSecond;
    const bool sent = connection.sendAll(head.text()) &&
                      sendBody(connection, source, plan.first, bodyBytes, rate, hooks, stop, stream.stallAfterBytes,
                               stream.stallFor);
    if (cut && stream.resetOnDrop) connection.resetOnClose();
    return sent && !cut && !closeAfter;
}

}  // namespace zenvira::site
