#pragma once
// The listening socket on 127.0.0.1 and a thread per accepted connection. stop() refuses
// new connections, shuts down the open ones (which wakes any thread blocked on them) and
// joins every thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace zenvira::site {

class Listener {
public:
    // Serves one connection until it is done; the listener closes the socket afterwards.
    using Handler = std::function<void(int fd)>;

    // Binds 127.0.0.1:port (0: an ephemeral port) and starts accepting. Throws
    // std::runtime_error when the port cannot be had.
    Listener(std::uint16_t port, Handler handler);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }
    void stop();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void acceptLoop();
    void startWorker(int fd);
    void joinFinishedWorkers();
    void closeSockets();

    Handler handler_;
    int listenFd_ = -1;
    int wakeRead_ = -1;   // a byte here ends the accept loop
    int wakeWrite_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;
    std::vector<Worker> workers_;  // touched by the accept thread, then by stop()

    std::mutex mutex_;
    std::set<int> openSockets_;
    bool stopping_ = false;
};

}  // namespace zenvira::site
