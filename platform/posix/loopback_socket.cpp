#include "platform/loopback_socket.h"

#include <poll.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/random_access_file.h"

namespace zenvira::platform {

namespace {

int fd(std::intptr_t handle) { return static_cast<int>(handle); }

// Waits for `events` on `socket` at most `timeoutMs`; the events seen, 0 on time-out.
short waitFor(int socket, short events, int timeoutMs) {
    pollfd entry{socket, events, 0};
    while (true) {
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0 ? entry.revents : 0;
    }
}

}  // namespace

LoopbackConnection::~LoopbackConnection() {
    if (handle_ >= 0) ::close(fd(handle_));
}

long LoopbackConnection::receive(char* buffer, std::size_t length, int timeoutMs) {
    if (!waitFor(fd(handle_), POLLIN, timeoutMs)) return kTimedOut;
    while (true) {
        const ssize_t got = ::recv(fd(handle_), buffer, length, 0);
        if (got < 0 && errno == EINTR) continue;
        return got < 0 ? -1 : static_cast<long>(got);
    }
}

bool LoopbackConnection::sendAll(const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t sent = ::send(fd(handle_), data, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool LoopbackConnection::peerGone() {
    const short seen = waitFor(fd(handle_), POLLIN, 0);
    if (seen & (POLLHUP | POLLERR)) return true;
    if (!(seen & POLLIN)) return false;
    char byte = 0;
    const ssize_t got = ::recv(fd(handle_), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

LoopbackListener::~LoopbackListener() { close(); }

bool LoopbackListener::open(std::string& error) {
    close();
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        error = systemErrorText(errno);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof(address);
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(socket, 16) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = systemErrorText(errno);
        ::close(socket);
        return false;
    }
    handle_ = socket;
    port_ = ntohs(address.sin_port);
    return true;
}

std::unique_ptr<LoopbackConnection> LoopbackListener::accept(int timeoutMs) {
    if (handle_ < 0 || !waitFor(fd(handle_), POLLIN, timeoutMs)) return nullptr;
    const int connection = ::accept4(fd(handle_), nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return nullptr;
    return std::make_unique<LoopbackConnection>(connection);
}

void LoopbackListener::close() {
    if (handle_ >= 0) ::close(fd(handle_));
    handle_ = -1;
    port_ = 0;
}

}  // namespace zenvira::platform
