#include "tests/site/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

namespace zenvira::site {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("fixture site: " + what + ": " + std::strerror(errno));
}

}  // namespace

Listener::Listener(std::uint16_t port, Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) fail("socket");
    const int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    int fds[2];
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, SOMAXCONN) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(fds, O_CLOEXEC) != 0) {
        const int saved = errno;
        ::close(listenFd_);
        errno = saved;
        fail("cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    port_ = ntohs(address.sin_port);
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

Listener::~Listener() {
    stop();
    closeSockets();
}

void Listener::acceptLoop() {
    for (;;) {
        pollfd watched[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[1].revents != 0) return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {  // the peer gave up already, or a passing shortage of descriptors
            if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        joinFinishedWorkers();
        startWorker(fd);
    }
}

void Listener::startWorker(int fd) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        openSockets_.insert(fd);
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto serve = [this, fd, done] {
        try {
            handler_(fd);
        } catch (...) {
            // A fault in one exchange ends that connection only.
        }
        {
            std::lock_guard lock(mutex_);
            openSockets_.erase(fd);
        }
        ::close(fd);
        done->store(true);
    };
    try {
        workers_.push_back({std::thread(serve), done});
    } catch (const std::system_error&) {  // no thread to be had: drop this client
        std::lock_guard lock(mutex_);
        openSockets_.erase(fd);
        ::close(fd);
    }
}

void Listener::joinFinishedWorkers() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void Listener::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        for (const int fd : openSockets_) ::shutdown(fd, SHUT_RDWR);
    }
    const char byte = 'x';
    while (::write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
    }
    if (acceptThread_.joinable()) acceptThread_.join();
    // Connections accepted after the shutdown above were refused in startWorker.
    for (auto& worker : workers_) worker.thread.join();
    workers_.clear();
}

void Listener::closeSockets() {
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

}  // namespace zenvira::site
