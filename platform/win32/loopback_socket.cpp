#include "platform/loopback_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "platform/random_access_file.h"

namespace zenvira::platform {

namespace {

SOCKET sock(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

bool startWinsock() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

short waitFor(SOCKET socket, short events, int timeoutMs) {
    WSAPOLLFD entry{socket, events, 0};
    const int ready = WSAPoll(&entry, 1, timeoutMs);
    return ready > 0 ? entry.revents : 0;
}

}  // namespace

LoopbackConnection::~LoopbackConnection() {
    if (handle_ >= 0) closesocket(sock(handle_));
}

long LoopbackConnection::receive(char* buffer, std::size_t length, int timeoutMs) {
    if (!waitFor(sock(handle_), POLLRDNORM, timeoutMs)) return kTimedOut;
    const int got = ::recv(sock(handle_), buffer, static_cast<int>(length), 0);
    return got == SOCKET_ERROR ? -1 : got;
}

bool LoopbackConnection::sendAll(const char* data, std::size_t length) {
    while (length > 0) {
        const int sent = ::send(sock(handle_), data, static_cast<int>(length), 0);
        if (sent == SOCKET_ERROR) return false;
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool LoopbackConnection::peerGone() {
    const short seen = waitFor(sock(handle_), POLLRDNORM, 0);
    if (seen & (POLLHUP | POLLERR)) return true;
    if (!(seen & POLLRDNORM)) return false;
    char byte = 0;
    return ::recv(sock(handle_), &byte, 1, MSG_PEEK) <= 0;
}

LoopbackListener::~LoopbackListener() { close(); }

bool LoopbackListener::open(std::string& error) {
    close();
    if (!startWinsock()) {
        error = "The network cannot be used (WSAStartup failed)";
        return false;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        error = systemErrorText(WSAGetLastError());
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(socket, 16) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = systemErrorText(WSAGetLastError());
        closesocket(socket);
        return false;
    }
    handle_ = static_cast<std::intptr_t>(socket);
    port_ = ntohs(address.sin_port);
    return true;
}

std::unique_ptr<LoopbackConnection> LoopbackListener::accept(int timeoutMs) {
    if (handle_ < 0 || !waitFor(sock(handle_), POLLRDNORM, timeoutMs)) return nullptr;
    const SOCKET connection = ::accept(sock(handle_), nullptr, nullptr);
    if (connection == INVALID_SOCKET) return nullptr;
    return std::make_unique<LoopbackConnection>(static_cast<std::intptr_t>(connection));
}

void LoopbackListener::close() {
    if (handle_ >= 0) closesocket(sock(handle_));
    handle_ = -1;
    port_ = 0;
}

}  // namespace zenvira::platform
