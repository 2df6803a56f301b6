#pragma once
// The HTTPS side of the fixture site, as a proxy and the sites behind it look to a client:
// `CONNECT host:port` is answered "200 Connection established" as a proxy does; the tunnel
// then speaks TLS with a certificate for that host, signed by an authority made for this
// site, and the requests inside it are relayed in plain HTTP to the site itself, so they get
// the answers they would get over HTTP (pacing, dropped connections and all).
#include <openssl/ssl.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tests/site/stop_signal.h"
#include "tests/site/test_authority.h"

namespace zenvira::site {

class TlsTunnels {
public:
    TlsTunnels();  // throws std::runtime_error when OpenSSL cannot be set up
    ~TlsTunnels();  // removes the authority's file
    TlsTunnels(const TlsTunnels&) = delete;
    TlsTunnels& operator=(const TlsTunnels&) = delete;

    // The authority's certificate, PEM: the one a client has to trust.
    std::string authorityPem() const { return authority_.certificatePem(); }
    // The same in a temporary file, written on the first call.
    std::string authorityFile();

    // The host a CONNECT request head asks for; none when the head is no CONNECT request.
    static std::optional<std::string> connectHost(std::string_view head);

    // Answers the CONNECT already read from `clientFd`, then relays the tunnel's requests to
    // 127.0.0.1:`sitePort` until either side ends or `stop` is raised.
    void serve(int clientFd, const std::string& host, std::uint16_t sitePort, const StopSignal& stop);

private:
    TestAuthority authority_;
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_;
    std::mutex fileMutex_;
    std::string file_;
};

}  // namespace zenvira::site
