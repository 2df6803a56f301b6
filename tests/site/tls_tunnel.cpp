#include "tests/site/tls_tunnel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace zenvira::site {

namespace {

bool sendPlain(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendSecure(SSL* ssl, const char* data, std::size_t length) {
    while (length > 0) {
        std::size_t written = 0;
        if (SSL_write_ex(ssl, data, length, &written) != 1) return false;
        data += written;
        length -= written;
    }
    return true;
}

bool sendAllToFile(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int connectToSite(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Copies both ways until one side ends. Blocking sockets: a TLS record that has begun to
// arrive is read whole, which its sender finishes at once. False when the site's side was
// reset: the tunnel then ends as a crashed server's would, without close_notify.
bool relay(SSL* ssl, int clientFd, int siteFd, const StopSignal& stop) {
    char buffer[64 * 1024];
    while (!stop.raised()) {
        if (!SSL_has_pending(ssl)) {
            pollfd watched[2] = {{clientFd, POLLIN, 0}, {siteFd, POLLIN, 0}};
            const int ready = ::poll(watched, 2, 100);
            if (ready < 0 && errno != EINTR) return true;
            if (ready <= 0) continue;
            if (watched[1].revents != 0) {
                const ssize_t n = ::recv(siteFd, buffer, sizeof buffer, 0);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && errno == ECONNRESET) return false;
                if (n <= 0 || !sendSecure(ssl, buffer, static_cast<std::size_t>(n))) return true;
            }
            if (watched[0].revents == 0) continue;
        }
        std::size_t got = 0;
        if (SSL_read_ex(ssl, buffer, sizeof buffer, &got) != 1) {
            if (SSL_get_error(ssl, 0) == SSL_ERROR_WANT_READ) continue;  // a record without data
            return true;
        }
        if (!sendPlain(siteFd, buffer, got)) return true;
    }
    return true;
}

}  // namespace

TlsTunnels::TlsTunnels() : context_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
    if (!context_) throw std::runtime_error("fixture site: no TLS context");
    SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
    // A handshake message inside the tunnel returns from SSL_read instead of waiting there
    // for data, so the other direction goes on.
    SSL_CTX_clear_mode(context_.get(), SSL_MODE_AUTO_RETRY);
}

TlsTunnels::~TlsTunnels() {
    if (!file_.empty()) ::unlink(file_.c_str());
}

std::string TlsTunnels::authorityFile() {
    std::lock_guard lock(fileMutex_);
    if (!file_.empty()) return file_;
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/zenvira-site-ca-XXXXXX.pem";
    const int fd = ::mkstemps(path.data(), 4);
    if (fd < 0) throw std::runtime_error("fixture site: cannot write the authority's file " + path);
    const std::string pem = authorityPem();
    const bool written = sendAllToFile(fd, pem);
    ::close(fd);
    if (!written) throw std::runtime_error("fixture site: cannot write the authority's file " + path);
    file_ = path;
    return file_;
}

std::optional<std::string> TlsTunnels::connectHost(std::string_view head) {
    constexpr std::string_view kMethod = "CONNECT ";
    if (head.substr(0, kMethod.size()) != kMethod) return std::nullopt;
    std::string_view authority = head.substr(kMethod.size());
    authority = authority.substr(0, authority.find_first_of(" \r\n"));
    if (!authority.empty() && authority.front() == '[') {  // [::1]:443
        const auto close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        return std::string(authority.substr(1, close - 1));
    }
    const auto colon = authority.rfind(':');
    if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
    return std::string(authority.substr(0, colon));
}

void TlsTunnels::serve(int clientFd, const std::string& host, std::uint16_t sitePort, const StopSignal& stop) {
    // OpenSSL writes with write(): a client that left would raise SIGPIPE and end the test
    // process. This thread serves this tunnel only and ends with it, so the signal is
    // blocked here and the write just fails.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";
    if (!sendPlain(clientFd, kEstablished.data(), kEstablished.size())) return;

    const auto issued = authority_.serverCertificate(host);
    const std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context_.get()), SSL_free);
    if (!ssl || SSL_use_certificate(ssl.get(), issued.certificate.get()) != 1 ||
        SSL_use_PrivateKey(ssl.get(), issued.key.get()) != 1 || SSL_set_fd(ssl.get(), clientFd) != 1)
        return;
    if (SSL_accept(ssl.get()) != 1) return;  // the client refused our certificate, or left

    const int siteFd = connectToSite(sitePort);
    bool orderly = true;
    if (siteFd >= 0) {
        orderly = relay(ssl.get(), clientFd, siteFd, stop);
        ::close(siteFd);
    }
    if (orderly) SSL_shutdown(ssl.get());
}

}  // namespace zenvira::site
