#pragma once
// The local stream: an HTTP server inside this process, on 127.0.0.1 only at a free port,
// that serves running downloads to a player while they come. Each download is served under
// a path with a token nobody can guess (128 random bits from the system); any other path is
// 404. It answers GET and HEAD with Range (206 and Content-Range with the final size, as soon
// as the size is known). A read of bytes not yet on the disk waits for them, and tells the
// download where it reads (StreamLink), so those bytes are fetched next. It only reads the
// download's file, never writes anywhere. One thread accepts, one thread serves each
// connection.
// A download in fragments (HLS, DASH) is served as an HLS presentation of its tracks
// (served_playlist.h), each fragment from its file once it came; one waited for is fetched
// next. When the download is whole its fragments stay answering until no request has come
// for them for a while (keepPiecesFor), so a player in the middle goes on without a break;
// then they are removed and the master playlist's address leads to the finished file.
// A download whose server gives no size is served while it comes, in chunks from its start
// (a closed range once its bytes are there), with the size once the download has ended.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/transfer/stream_link.h"
#include "platform/loopback_socket.h"

namespace zenvira::components {

class StreamServer {
public:
    using Clock = std::chrono::steady_clock;

    // How long the fragments of a download that ended whole are kept after the last request.
    static constexpr std::chrono::seconds kKeepPieces{60};

    explicit StreamServer(Clock::duration keepPiecesFor = kKeepPieces) : keepPiecesFor_(keepPiecesFor) {}
    // Ends every connection and the listener.
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Listens; false with the system's reason.
    bool start(std::string& error);
    int port() const { return listener_.port(); }
    // Serves `link` as `name` under a token of its own: its address
    // "http://127.0.0.1:PORT/TOKEN/NAME", or "" when no token could be made.
    std::string add(std::shared_ptr<StreamLink> link, const std::string& name);

    // Requests being answered now, and when the last one came (the start, before any).
    int requestsInProgress() const { return inProgress_.load(); }
    // Connections open now: a player that holds one may ask for more (it closes after 30 s idle).
    int connectionsOpen() const { return connections_.load(); }
    Clock::time_point lastRequest() const;

private:
    struct Served {
        std::shared_ptr<StreamLink> link;
        std::string name;
        int answering = 0;  // requests for it being answered now
        Clock::time_point lastRequest = Clock::now();
    };
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    struct Request;

    void acceptLoop();
    void serveConnection(platform::LoopbackConnection& connection);
    bool answer(platform::LoopbackConnection& connection, const Request& request);
    // `last` kOpenEnd: to the end of the file, whenever that comes; `chunked`: in HTTP chunks.
    bool sendBody(platform::LoopbackConnection& connection, StreamLink& link, std::int64_t first, std::int64_t last,
                  bool chunked = false);
    bool answerUnsized(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                       const std::string& name);
    bool answerFragments(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                         const std::string& asked);
    bool sendPiece(platform::LoopbackConnection& connection, const Request& request, StreamLink& link,
                   std::size_t piece, const std::string& asked);
    bool sendText(platform::LoopbackConnection& connection, const Request& request, const std::string& text,
                  const std::string& type);
    bool refuse(platform::LoopbackConnection& connection, const Request& request, int status,
                const std::string& extra = {});
    // The download under the token `target` starts with; `name`: the name it is served as,
    // `asked`: what follows the token.
    std::shared_ptr<StreamLink> find(const std::string& target, std::string& name, std::string& asked) const;
    void reapWorkers();
    // The kept fragments of every download nobody has asked for since keepPiecesFor_ go.
    void releaseIdlePieces();
    void markRequest(const std::string& token, int change);

    platform::LoopbackListener listener_;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;  // guards served_, workers_, lastRequest_
    std::map<std::string, Served> served_;  // token -> download
    std::list<Worker> workers_;
    Clock::time_point lastRequest_ = Clock::now();
    std::atomic<int> inProgress_{0};
    std::atomic<int> connections_{0};
    const Clock::duration keepPiecesFor_;
};

// The name as one segment of an address: everything but letters, digits and -._~ escaped.
std::string addressSegment(const std::string& name);

}  // namespace zenvira::components
