// The site's content and its routing: which answer a request gets.
#include "tests/site/fixture_site.h"

#include <atomic>
#include <mutex>

#include "tests/site/connection.h"
#include "tests/site/gzip_body.h"
#include "tests/site/http_request.h"
#include "tests/site/http_response.h"
#include "tests/site/listener.h"
#include "tests/site/site_pages.h"
#include "tests/site/stop_signal.h"
#include "tests/site/stream_response.h"
#include "tests/site/tls_tunnel.h"

namespace zenvira::site {

namespace {

struct StreamEntry {
    StreamShape stream;
    int dropsLeft = 0;
    int busyLeft = 0;
    std::uint64_t served = 0;  // body bytes over all answers
    std::uint64_t version = 0; // how often the stream was replaced
};

// A document answer: status, type, body and extra headers.
bool answerDocument(Connection& connection, const http::Request& request, int status,
                    const std::string& contentType, const std::string& body,
                    const std::vector<std::pair<std::string, std::string>>& extraHeaders = {}) {
    http::ResponseHead head(status);
    const bool bodyless = status < 200 || status == 204 || status == 304;
    if (!bodyless) head.add("Content-Type", contentType);
    for (const auto& [name, value] : extraHeaders) head.add(name, value);
    if (!bodyless) head.contentLength(body.size());
    const bool sendBody = !bodyless && request.method != "HEAD";
    return connection.sendAll(head.text() + (sendBody ? body : std::string()));
}

bool answerStatus(Connection& connection, const http::Request& request, int status) {
    return answerDocument(connection, request, status, "text/html; charset=utf-8", http::statusPage(status));
}

// For requests that could not be read: the answer, then the connection is closed.
void refuse(Connection& connection, int status) {
    const std::string body = http::statusPage(status);
    http::ResponseHead head(status);
    head.add("Content-Type", "text/html; charset=utf-8").contentLength(body.size()).closeConnection();
    connection.sendAll(head.text() + body);
}

}  // namespace

struct FixtureSite::Impl {
    explicit Impl(std::uint16_t port) : listener(port, [this](int fd) { serveConnection(fd); }) {}
    ~Impl() {
        stop.raise();
        listener.stop();
    }

    void serveConnection(int fd);
    std::atomic<std::uint64_t> connections{0};
    bool readRequestBody(Connection& connection, const http::Request& request);
    bool answer(Connection& connection, const http::Request& request);
    bool answerFixed(Connection& connection, const http::Request& request, FixedResponse fixed);
    bool answerWatchPage(Connection& connection, const http::Request& request);
    bool answerStreamRequest(Connection& connection, const http::Request& request);
    bool takeDrop(const std::string& streamId);
    void record(const http::Request& request);
    void recordConnect(const std::string& head);

    StopSignal stop;
    mutable std::mutex mutex;  // guards everything below
    std::map<std::string, std::string> watchPages;
    std::map<std::string, std::function<std::string()>> watchPageSources;
    std::map<std::string, StreamEntry> streams;
    std::map<std::string, FixedResponse> fixed;
    std::map<std::string, StreamShape> media;
    std::string publishedVersion = "2.5";
    std::vector<RequestRecord> seen;
    TlsTunnels tunnels;
    // Last, so the listener is stopped before the content its threads read goes away.
    Listener listener;
};

void FixtureSite::Impl::serveConnection(int fd) {
    Connection connection(fd);
    connection.serial = ++connections;
    std::string head;
    while (!stop.raised()) {
        const auto got = connection.readHead(head);
        if (got == Connection::HeadResult::Closed) return;
        if (got == Connection::HeadResult::TooLarge) return refuse(connection, 431);
        if (const auto host = TlsTunnels::connectHost(head)) {
            recordConnect(head);
            return tunnels.serve(fd, *host, listener.port(), stop);
        }
        const auto request = http::parseHead(head);
        if (!request) return refuse(connection, 400);
        record(*request);
        if (!readRequestBody(connection, *request)) return;
        if (!answer(connection, *request) || !request->keepAlive()) return;
    }
}

bool FixtureSite::Impl::readRequestBody(Connection& connection, const http::Request& request) {
    if (!request.header("transfer-encoding").empty()) {
        refuse(connection, 501);  // no client of ours sends chunked bodies
        return false;
    }
    const std::string lengthText = request.header("content-length");
    if (lengthText.empty()) return true;
    const auto length = http::parseCount(lengthText);
    if (!length) {
        refuse(connection, 400);
        return false;
    }
    if (http::lowerAscii(request.header("expect")) == "100-continue" &&
        !connection.sendAll("HTTP/1.1 100 Continue\r\n\r\n"))
        return false;
    return connection.discardBody(*length);
}

bool FixtureSite::Impl::answer(Connection& connection, const http::Request& request) {
    std::optional<FixedResponse> fixedAnswer;
    {
        std::lock_guard lock(mutex);
        auto it = fixed.find(request.path);
        if (it == fixed.end()) it = fixed.find(http::routeOf(request.path));
        if (it != fixed.end()) fixedAnswer = it->second;
    }
    if (fixedAnswer) return answerFixed(connection, request, std::move(*fixedAnswer));
    std::optional<StreamShape> mediaAnswer;
    {
        std::lock_guard lock(mutex);
        auto it = media.find(request.path);
        if (it == media.end()) it = media.find(http::routeOf(request.path));
        if (it != media.end()) mediaAnswer = it->second;
    }
    if (mediaAnswer) {
        StreamHooks hooks;
        hooks.connectionSerial = connection.serial;
        return answerStream(connection, request, *mediaAnswer, hooks, stop);
    }

    if (request.method != "GET" && request.method != "HEAD") return answerStatus(connection, request, 405);
    const std::string route = http::routeOf(request.path);
    if (route == "/watch") return answerWatchPage(connection, request);
    if (route == "/videoplayback") return answerStreamRequest(connection, request);
    if (route == "/listurl.html") {
        std::string version;
        {
            std::lock_guard lock(mutex);
            version = publishedVersion;
        }
        return answerDocument(connection, request, 200, "text/html; charset=utf-8", updatePageText(version));
    }
    return answerStatus(connection, request, 404);
}

bool FixtureSite::Impl::answerFixed(Connection& connection, const http::Request& request, FixedResponse fixedAnswer) {
    if (fixedAnswer.delay.count() > 0 && !stop.sleepFor(fixedAnswer.delay)) return false;
    if (fixedAnswer.gzip) {
        fixedAnswer.body = gzipCompress(fixedAnswer.body);
        fixedAnswer.headers.emplace_back("Content-Encoding", "gzip");
    }
    if (fixedAnswer.rawBytes) {
        connection.sendAll(fixedAnswer.body);
        return false;  // no request after it can be understood
    }
    return answerDocument(connection, request, fixedAnswer.status, fixedAnswer.contentType, fixedAnswer.body,
                          fixedAnswer.headers);
}

bool FixtureSite::Impl::answerWatchPage(Connection& connection, const http::Request& request) {
    const auto videoId = http::queryParam(http::queryOf(request.path), "v");
    std::optional<std::string> page;
    std::function<std::string()> source;
    if (videoId) {
        std::lock_guard lock(mutex);
        const auto it = watchPages.find(*videoId);
        if (it != watchPages.end()) page = it->second;
        const auto made = watchPageSources.find(*videoId);
        if (made != watchPageSources.end()) source = made->second;
    }
    if (source) page = source();  // outside the lock: the source may ask the site things
    if (!page) return answerStatus(connection, request, 404);
    return answerDocument(connection, request, 200, "text/html; charset=utf-8", *page);
}

bool FixtureSite::Impl::answerStreamRequest(Connection& connection, const http::Request& request) {
    const auto streamId = http::queryParam(http::queryOf(request.path), "id");
    std::optional<StreamShape> stream;
    std::uint64_t version = 0;
    if (streamId) {
        std::lock_guard lock(mutex);
        const auto it = streams.find(*streamId);
        if (it != streams.end()) {
            stream = it->second.stream;
            version = it->second.version;
        }
    }
    if (!stream) return answerStatus(connection, request, 404);
    StreamHooks hooks;
    hooks.takeDrop = [this, &streamId] { return takeDrop(*streamId); };
    hooks.takeBusy = [this, &streamId] {
        std::lock_guard lock(mutex);
        auto& entry = streams[*streamId];
        if (entry.busyLeft <= 0) return false;
        --entry.busyLeft;
        return true;
    };
    hooks.expired = [this, &streamId] {
        std::lock_guard lock(mutex);
        const auto& entry = streams[*streamId];
        return entry.stream.expireAfterBytes && entry.served >= *entry.stream.expireAfterBytes;
    };
    hooks.sent = [this, &streamId, version](std::uint64_t bytes) {
        std::lock_guard lock(mutex);
        auto& entry = streams[*streamId];
        entry.served += bytes;
        // A stream replaced meanwhile (a new version of the file) ends the answers of the old.
        if (entry.version != version) return false;
        return !entry.stream.expireAfterBytes || entry.served < *entry.stream.expireAfterBytes;
    };
    hooks.connectionSerial = connection.serial;
    return answerStream(connection, request, *stream, hooks, stop);
}

bool FixtureSite::Impl::takeDrop(const std::string& streamId) {
    std::lock_guard lock(mutex);
    const auto it = streams.find(streamId);
    if (it == streams.end() || it->second.dropsLeft <= 0) return false;
    --it->second.dropsLeft;
    return true;
}

void FixtureSite::Impl::record(const http::Request& request) {
    std::lock_guard lock(mutex);
    seen.push_back({request.method, request.target, request.path, request.headers});
}

void FixtureSite::Impl::recordConnect(const std::string& head) {
    const auto targetStart = head.find(' ') + 1;
    std::lock_guard lock(mutex);
    seen.push_back({"CONNECT", head.substr(targetStart, head.find_first_of(" \r\n", targetStart) - targetStart), "", {}});
}

FixtureSite::FixtureSite() : FixtureSite(0) {}

FixtureSite::FixtureSite(std::uint16_t port) : impl_(std::make_unique<Impl>(port)) {}

FixtureSite::~FixtureSite() = default;

std::uint16_t FixtureSite::port() const { return impl_->listener.port(); }

std::string FixtureSite::proxyAddress() const { return "http://127.0.0.1:" + std::to_string(port()); }

std::string FixtureSite::localAddress(const std::string& pathAndQuery) const {
    const bool rooted = !pathAndQuery.empty() && pathAndQuery.front() == '/';
    return proxyAddress() + (rooted ? "" : "/") + pathAndQuery;
}

void FixtureSite::addWatchPage(const std::string& videoId, const WatchPageShape& watch) {
    addWatchPageText(videoId, makeWatchPage(watch));
}

void FixtureSite::addWatchPageText(const std::string& videoId, const std::string& pageText) {
    std::lock_guard lock(impl_->mutex);
    impl_->watchPages[videoId] = pageText;
}

void FixtureSite::addWatchPageSource(const std::string& videoId, std::function<std::string()> pageText) {
    std::lock_guard lock(impl_->mutex);
    impl_->watchPageSources[videoId] = std::move(pageText);
}

void FixtureSite::addStream(const std::string& streamId, const StreamShape& stream) {
    std::lock_guard lock(impl_->mutex);
    auto& entry = impl_->streams[streamId];
    const std::uint64_t served = entry.served;  // a new version of a stream keeps its count
    entry = {stream, stream.dropAfterBytes ? stream.dropTimes : 0, stream.busyTimes, served, entry.version + 1};
}

std::uint64_t FixtureSite::bytesServed(const std::string& streamId) const {
    std::lock_guard lock(impl_->mutex);
    const auto it = impl_->streams.find(streamId);
    return it == impl_->streams.end() ? 0 : it->second.served;
}

void FixtureSite::setPublishedVersion(const std::string& versionText) {
    std::lock_guard lock(impl_->mutex);
    impl_->publishedVersion = versionText;
}

void FixtureSite::addFixed(const std::string& pathAndQuery, const FixedResponse& response) {
    const auto path = http::pathOfTarget(pathAndQuery.empty() ? "/" : pathAndQuery);
    std::lock_guard lock(impl_->mutex);
    impl_->fixed[path ? *path : pathAndQuery] = response;
}

std::string FixtureSite::certificateAuthorityFile() const { return impl_->tunnels.authorityFile(); }

void FixtureSite::addMedia(const std::string& pathAndQuery, const StreamShape& stream) {
    const auto path = http::pathOfTarget(pathAndQuery.empty() ? "/" : pathAndQuery);
    std::lock_guard lock(impl_->mutex);
    impl_->media[path ? *path : pathAndQuery] = stream;
}

std::vector<RequestRecord> FixtureSite::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->seen;
}

void FixtureSite::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->seen.clear();
}

}  // namespace zenvira::site
