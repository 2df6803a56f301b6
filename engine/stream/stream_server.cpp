#include "engine/stream/stream_server.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "base/text_ops.h"
#include "engine/stream/range_header.h"
#include "engine/stream/served_playlist.h"
#include "platform/random_bytes.h"

namespace zenvira::components {

namespace {

constexpr int kPollMs = 200;
// The last byte of a range that reaches the end of a file of unknown size.
constexpr std::int64_t kOpenEnd = std::numeric_limits<std::int64_t>::max() - 1;
// A connection that sends no request for this long is closed.
constexpr auto kIdleConnection = std::chrono::seconds(30);
constexpr std::size_t kLongestHead = 16 * 1024;
constexpr std::size_t kChunk = 256 * 1024;
// A file renamed between the look at its name and the open (the part becoming the finished
// file) is looked for again, this often.
constexpr int kOpenTries = 20;

std::string hexOf(const unsigned char* bytes, std::size_t length) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string contentTypeOf(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : text::lowerAscii(name.substr(dot + 1));
    if (extension == "mp4" || extension == "m4v") return "video/mp4";
    if (extension == "webm") return "video/webm";
    if (extension == "flv") return "video/x-flv";
    if (extension == "ts") return "video/mp2t";
    if (extension == "m4a") return "audio/mp4";
    if (extension == "m4s") return "video/iso.segment";
    if (extension == "aac") return "audio/aac";
    if (extension == "m3u8") return "application/vnd.apple.mpegurl";
    if (extension == "mpd") return "application/dash+xml";
    if (extension == "mp3") return "audio/mpeg";
    return "application/octet-stream";
}

std::string statusLine(int status) {
    switch (status) {
    case 200: return "HTTP/1.1 200 OK\r\n";
    case 206: return "HTTP/1.1 206 Partial Content\r\n";
    case 302: return "HTTP/1.1 302 Found\r\n";
    case 400: return "HTTP/1.1 400 Bad Request\r\n";
    case 404: return "HTTP/1.1 404 Not Found\r\n";
    case 405: return "HTTP/1.1 405 Method Not Allowed\r\n";
    case 416: return "HTTP/1.1 416 Range Not Satisfiable\r\n";
    default: return "HTTP/1.1 503 Service Unavailable\r\n";
    }
}

// The head of an answer with the asked bytes of something `size` long: 206 with its
// Content-Range for a part, 200 for the whole.
std::string rangedHead(const RequestedBytes& bytes, std::int64_t size, const std::string& type, bool keepAlive) {
    const bool part = bytes.kind == RequestedBytes::Kind::Part;
    std::string head = statusLine(part ? 206 : 200);
    head += "Content-Type: " + type + "\r\n";
    head += "Accept-Ranges: bytes\r\n";
    head += "Content-Length: " + std::to_string(std::max<std::int64_t>(bytes.length(), 0)) + "\r\n";
    if (part)
        head += "Content-Range: bytes " + std::to_string(bytes.first) + "-" + std::to_string(bytes.last) + "/" +
                std::to_string(size) + "\r\n";
    head += "Cache-Control: no-store\r\n";
    if (!keepAlive) head += "Connection: close\r\n";
    return head + "\r\n";
}

}  // namespace

std::string addressSegment(const std::string& name) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string segment;
    for (const unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            segment += static_cast<char>(c);
        } else {
            segment += '%';
            segment += digits[c >> 4];
            segment += digits[c & 15];
        }
    }
    return segment;
}

struct StreamServer::Request {
    std::string method;
    std::string target;
    std::string range;
    bool keepAlive = true;
};

StreamServer::~StreamServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::list<Worker> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& worker : workers)
        if (worker.thread.joinable()) worker.thread.join();
    listener_.close();
}

bool StreamServer::start(std::string& error) {
    if (!listener_.open(error)) return false;
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

std::string StreamServer::add(std::shared_ptr<StreamLink> link, const std::string& name) {
    unsigned char secret[16];
    if (!platform::randomBytes(secret, sizeof(secret))) return {};
    const std::string token = hexOf(secret, sizeof(secret));
    {
        std::lock_guard lock(mutex_);
        served_[token] = {std::move(link), name};
    }
    return "http://127.0.0.1:" + std::to_string(port()) + "/" + token + "/" + addressSegment(name);
}

StreamServer::Clock::time_point StreamServer::lastRequest() const {
    std::lock_guard lock(mutex_);
    return lastRequest_;
}

void StreamServer::acceptLoop() {
    while (!stopping_) {
        auto connection = listener_.accept(kPollMs);
        reapWorkers();
        releaseIdlePieces();
        if (!connection) continue;
        std::lock_guard lock(mutex_);
        Worker& worker = workers_.emplace_back();
        ++connections_;
        worker.thread = std::thread([this, &worker, held = std::move(connection)]() mutable {
            serveConnection(*held);
            held.reset();
            --connections_;
            worker.done = true;
        });
    }
}

void StreamServer::reapWorkers() {
    std::lock_guard lock(mutex_);
    for (auto worker = workers_.begin(); worker != workers_.end();) {
        if (!worker->done) {
            ++worker;
            continue;
        }
        worker->thread.join();
        worker = workers_.erase(worker);
    }
}

void StreamServer::releaseIdlePieces() {
    std::vector<std::shared_ptr<StreamLink>> idle;
    {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        for (const auto& [token, served] : served_)
            if (served.answering == 0 && now - served.lastRequest >= keepPiecesFor_ && served.link->keepsPieces())
                idle.push_back(served.link);
    }
    for (const auto& link : idle) link->releasePieces();  // outside the lock: it removes files
}

void StreamServer::markRequest(const std::string& token, int change) {
    std::lock_guard lock(mutex_);
    const auto found = served_.find(token);
    if (found == served_.end()) return;
    found->second.answering += change;
    found->second.lastRequest = Clock::now();
}

std::shared_ptr<StreamLink> StreamServer::find(const std::string& target, std::string& name, std::string& asked) const {
    // "/TOKEN/NAME": the token decides, whatever name follows it.
    if (target.size() < 2 || target[0] != '/') return nullptr;
    const auto slash = target.find('/', 1);
    const std::string token = target.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    asked = slash == std::string::npos ? std::string() : target.substr(slash + 1);
    asked = asked.substr(0, asked.find('?'));
    std::lock_guard lock(mutex_);
    const auto found = served_.find(token);
    if (found == served_.end()) return nullptr;
    name = found->second.name;
    return found->second.link;
}

void StreamServer::serveConnection(platform::LoopbackConnection& connection) {
    std::string buffer;
    char chunk[4096];
    auto idleSince = Clock::now();
    while (!stopping_) {
        const auto headEnd = buffer.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            if (buffer.size() > kLongestHead || Clock::now() - idleSince > kIdleConnection) return;
            const long got = connection.receive(chunk, sizeof(chunk), kPollMs);
            if (got == platform::LoopbackConnection::kTimedOut) continue;
            if (got <= 0) return;
            buffer.append(chunk, static_cast<std::size_t>(got));
            continue;
        }
        Request request;
        const std::string head = buffer.substr(0, headEnd);
        buffer.erase(0, headEnd + 4);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const auto space1 = requestLine.find(' ');
        const auto space2 = requestLine.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
        if (space1 == std::string::npos || space2 == std::string::npos) return;
        request.method = requestLine.substr(0, space1);
        request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
        request.keepAlive = requestLine.substr(space2 + 1) == "HTTP/1.1";
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string line =
                head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            const std::string field = text::lowerAscii(line.substr(0, colon));
            const std::string value = text::trimBlanks(line.substr(colon + 1));
            if (field == "range")
                request.range = value;
            else if (field == "connection")
                request.keepAlive = text::lowerAscii(value) != "close" && request.keepAlive;
        }
        {
            std::lock_guard lock(mutex_);
            lastRequest_ = Clock::now();
        }
        ++inProgress_;
        const bool goOn = answer(connection, request);
        --inProgress_;
        {
            std::lock_guard lock(mutex_);
            lastRequest_ = Clock::now();
        }
        if (!goOn || !request.keepAlive) return;
        idleSince = Clock::now();
    }
}

bool StreamServer::refuse(platform::LoopbackConnection& connection, const Request& request, int status,
                          const std::string& extra) {
    const std::string text = statusLine(status) + extra + "Content-Length: 0\r\n" +
                             (request.keepAlive ? "" : "Connection: close\r\n") + "\r\n";
    return connection.sendAll(text.data(), text.size());
}

// False when the connection cannot carry another request.
bool StreamServer::answer(platform::LoopbackConnection& connection, const Request& request) {
    std::string name, asked;
    const auto link = find(request.target, name, asked);
    if (!link) return refuse(connection, request, 404);
    const std::string token = request.target.substr(1, request.target.find('/', 1) - 1);
    struct Answering {
        StreamServer& server;
        const std::string& token;
        ~Answering() { server.markRequest(token, -1); }
    } answering{*this, token};
    markRequest(token, +1);
    if (request.method != "GET" && request.method != "HEAD")
        return refuse(connection, request, 405, "Allow: GET, HEAD\r\n");
    // The size comes with the server's first answer to the download, the tracks of one in
    // fragments once its playlists are read.
    StreamLink::Available state = link->now(0);
    while (state.size < 0 && !state.ended && !state.fragments && !state.begun) {
        if (stopping_ || connection.peerGone()) return false;
        state = link->waitFor(0, Clock::now() + std::chrono::milliseconds(kPollMs));
    }
    if (state.pieces) return answerFragments(connection, request, *link, asked);
    if (state.fragments) {
        // The fragments were joined into the file and are gone; the master leads to the file.
        const std::string finished = addressSegment(std::filesystem::path(state.path).filename().string());
        if (routeOf(asked, {}).kind != FragmentRoute::Kind::Master) return refuse(connection, request, 404);
        const std::string lower = text::lowerAscii(asked);
        if (asked != finished && (lower.ends_with(".m3u8") || lower.ends_with(".mpd"))) {
            return refuse(connection, request, 302, "Location: /" + token + "/" + finished + "\r\n");
        }
        name = state.path;
    }
    if (state.size < 0 && state.begun && !state.ended) return answerUnsized(connection, request, *link, name);
    if (state.size < 0) return refuse(connection, request, 503);
    const std::int64_t size = state.size;
    const RequestedBytes bytes = requestedBytes(request.range, size);
    if (bytes.kind == RequestedBytes::Kind::Unsatisfiable)
        return refuse(connection, request, 416, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
    const std::string head = rangedHead(bytes, size, contentTypeOf(name), request.keepAlive);
    if (!connection.sendAll(head.data(), head.size())) return false;
    if (request.method == "HEAD" || bytes.length() <= 0) return true;
    return sendBody(connection, *link, bytes.first, bytes.last);
}

// From the start to the end, in chunks (an HTTP/1.0 reader: until the connection closes);
// a closed range is answered once its bytes are there; any other range gets the whole file.
bool StreamServer::answerUnsized(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                                 const std::string& name) {
    const RequestedBytes bytes = requestedBytes(request.range, kOpenEnd + 1);
    const bool closed = bytes.kind == RequestedBytes::Kind::Part && bytes.last != kOpenEnd;
    const bool chunked = !closed && request.keepAlive;
    std::string head = statusLine(closed ? 206 : 200) + "Content-Type: " + contentTypeOf(name) + "\r\n";
    if (closed)
        head += "Content-Length: " + std::to_string(bytes.length()) + "\r\nContent-Range: bytes " +
                std::to_string(bytes.first) + "-" + std::to_string(bytes.last) + "/*\r\n";
    else
        head += std::string("Accept-Ranges: none\r\n") + (chunked ? "Transfer-Encoding: chunked\r\n" : "");
    head += "Cache-Control: no-store\r\n";
    if (!request.keepAlive) head += "Connection: close\r\n";
    head += "\r\n";
    if (!connection.sendAll(head.data(), head.size())) return false;
    if (request.method == "HEAD") return true;
    return closed ? sendBody(connection, link, bytes.first, bytes.last)
                  : sendBody(connection, link, 0, kOpenEnd, chunked);
}

bool StreamServer::answerFragments(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                                   const std::string& asked) {
    const auto fragments = link.fragments();
    if (!fragments) return refuse(connection, request, 503);
    const FragmentRoute route = routeOf(asked, *fragments);
    switch (route.kind) {
    case FragmentRoute::Kind::Master:
        if (shownAsManifest(*fragments))
            return sendText(connection, request, presentationManifest(*fragments), contentTypeOf("m.mpd"));
        return sendText(connection, request, masterPlaylist(*fragments), contentTypeOf("m.m3u8"));
    case FragmentRoute::Kind::Playlist:
        return sendText(connection, request, mediaPlaylist(fragments->tracks[*route.number], *route.number),
                        contentTypeOf("m.m3u8"));
    case FragmentRoute::Kind::Piece: return sendPiece(connection, request, link, *route.number, asked);
    case FragmentRoute::Kind::Missing: break;
    }
    return refuse(connection, request, 404);
}

bool StreamServer::sendText(platform::LoopbackConnection& connection, const Request& request, const std::string& text,
                            const std::string& type) {
    std::string head = statusLine(200) + "Content-Type: " + type +
                       "\r\nContent-Length: " + std::to_string(text.size()) + "\r\nCache-Control: no-store\r\n" +
                       (request.keepAlive ? "" : "Connection: close\r\n") + "\r\n";
    if (request.method != "HEAD") head += text;
    return connection.sendAll(head.data(), head.size());
}

// A fragment as a file of its own: waited for (and so fetched next), then sent with Range.
bool StreamServer::sendPiece(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                             std::size_t piece, const std::string& asked) {
    StreamLink::PieceAvailable available;
    {
        struct ReaderGuard {
            StreamLink& link;
            int reader;
            ~ReaderGuard() { link.closeReader(reader); }
        } guard{link, link.openPieceReader(piece)};
        for (;;) {
            available = link.waitForPiece(piece, Clock::now() + std::chrono::milliseconds(kPollMs));
            if (available.there || available.ended) break;
            if (stopping_ || connection.peerGone()) return false;
        }
    }
    std::ifstream file;
    if (available.there) file.open(available.path, std::ios::binary | std::ios::ate);
    // Not fetched before the download ended, or removed once joined into the file.
    if (!file.is_open()) return refuse(connection, request, 404);
    const auto size = static_cast<std::int64_t>(file.tellg());
    const RequestedBytes bytes = requestedBytes(request.range, size);
    if (bytes.kind == RequestedBytes::Kind::Unsatisfiable)
        return refuse(connection, request, 416, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
    const std::int64_t length = std::max<std::int64_t>(bytes.length(), 0);
    const std::string head = rangedHead(bytes, size, contentTypeOf(asked), request.keepAlive);
    if (!connection.sendAll(head.data(), head.size())) return false;
    if (request.method == "HEAD") return true;
    std::vector<char> data(kChunk);
    file.seekg(bytes.first);
    for (std::int64_t left = length; left > 0;) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk));
        file.read(data.data(), static_cast<std::streamsize>(count));
        if (static_cast<std::size_t>(file.gcount()) != count) return false;
        if (!connection.sendAll(data.data(), count)) return false;
        left -= static_cast<std::int64_t>(count);
    }
    return true;
}

bool StreamServer::sendBody(platform::LoopbackConnection& connection, StreamLink& link, std::int64_t first,
                            std::int64_t last, bool chunked) {
    struct ReaderGuard {
        StreamLink& link;
        int reader;
        ~ReaderGuard() { link.closeReader(reader); }
    } guard{link, link.openReader(first)};
    std::ifstream file;
    std::string openPath;
    std::vector<char> data(kChunk);
    std::int64_t at = first;
    while (at <= last) {
        if (stopping_) return false;
        const StreamLink::Available there = link.waitFor(at, Clock::now() + std::chrono::milliseconds(kPollMs));
        if (there.bytes <= 0) {
            // The end of a file whose size came only with it.
            if (last == kOpenEnd && there.whole && there.size >= 0 && at >= there.size) break;
            // Nothing more will come (the download failed or stopped), or the player left.
            if (there.ended || connection.peerGone()) return false;
            continue;
        }
        if (!file.is_open() || openPath != there.path) {
            file.close();
            file.clear();
            std::string path = there.path;
            for (int tries = 0; tries < kOpenTries; ++tries) {
                file.open(path, std::ios::binary);
                if (file.is_open()) break;
                file.clear();
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
                path = link.now(at).path;
            }
            if (!file.is_open()) return false;
            openPath = path;
        }
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>({there.bytes, last + 1 - at, kChunk}));
        file.seekg(at);
        file.read(data.data(), static_cast<std::streamsize>(count));
        if (static_cast<std::size_t>(file.gcount()) != count) return false;
        if (chunked) {
            char size[24];
            const int length = std::snprintf(size, sizeof size, "%zx\r\n", count);
            if (!connection.sendAll(size, static_cast<std::size_t>(length))) return false;
        }
        if (!connection.sendAll(data.data(), count)) return false;
        if (chunked && !connection.sendAll("\r\n", 2)) return false;
        at += static_cast<std::int64_t>(count);
        link.moveReader(guard.reader, at);
    }
    return !chunked || connection.sendAll("0\r\n\r\n", 5);
}

}  // namespace zenvira::components
