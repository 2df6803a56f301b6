#pragma once
// TCP on the loopback address only, for a server inside this process that programs on the
// same machine (a player) read from: a listener on 127.0.0.1 at a port the system picks, and
// the connections it accepts. Every call that waits takes a time limit, so a thread per
// connection can look at its stop flag.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zenvira::platform {

class LoopbackConnection {
public:
    explicit LoopbackConnection(std::intptr_t handle) : handle_(handle) {}
    ~LoopbackConnection();
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    static constexpr long kTimedOut = -2;
    // Reads what has come, waiting at most `timeoutMs`: the bytes read, 0 when the other end
    // closed, -1 on an error, kTimedOut when nothing came.
    long receive(char* buffer, std::size_t length, int timeoutMs);
    // Sends all of it; false when the other end has gone.
    bool sendAll(const char* data, std::size_t length);
    // The other end closed or reset the connection (looked at without waiting or reading).
    bool peerGone();

private:
    std::intptr_t handle_;
};

class LoopbackListener {
public:
    LoopbackListener() = default;
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Listens on 127.0.0.1 at a free port; false with the system's reason.
    bool open(std::string& error);
    int port() const { return port_; }
    // The next connection, waiting at most `timeoutMs`; none when nothing came.
    std::unique_ptr<LoopbackConnection> accept(int timeoutMs);
    void close();

private:
    std::intptr_t handle_ = -1;
    int port_ = 0;
};

}  // namespace zenvira::platform
