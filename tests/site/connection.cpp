#include "tests/site/connection.h"

#include <sys/socket.h>

#include <cerrno>

#include "tests/site/http_request.h"

namespace zenvira::site {

bool Connection::fill() {
    char chunk[16 * 1024];
    for (;;) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffered_.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

Connection::HeadResult Connection::readHead(std::string& head) {
    for (;;) {
        // Blank lines between requests are allowed before a request line.
        while (!buffered_.empty() && (buffered_.front() == '\r' || buffered_.front() == '\n'))
            buffered_.erase(0, 1);
        const std::size_t end = http::headEnd(buffered_);
        if (end != std::string::npos) {
            head = buffered_.substr(0, end);
            buffered_.erase(0, end);
            return HeadResult::Complete;
        }
        if (buffered_.size() > kMaxHeadBytes) return HeadResult::TooLarge;
        if (!fill()) return HeadResult::Closed;
    }
}

bool Connection::discardBody(std::uint64_t length) {
    while (length > 0) {
        if (buffered_.empty() && !fill()) return false;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffered_.size()));
        buffered_.erase(0, take);
        length -= take;
    }
    return true;
}

bool Connection::sendAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

void Connection::resetOnClose() {
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

bool Connection::sendAll(std::string_view data) {
    return sendAll(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

}  // namespace zenvira::site
