#pragma once
// A certificate authority made when a test runs: its own certificate (PEM, to hand to a
// client as the one authority it trusts) and, on demand, a server certificate for any host
// name or IP address, signed by it. EC P-256 keys, so each one takes well under a millisecond.
#include <openssl/ssl.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zenvira::site {

struct CertificateAndKey {
    std::shared_ptr<X509> certificate;
    std::shared_ptr<EVP_PKEY> key;
};

class TestAuthority {
public:
    TestAuthority();  // throws std::runtime_error when OpenSSL cannot make the keys

    std::string certificatePem() const;
    // A certificate for `host` (its subject alternative name: DNS, or IP for an address),
    // made once per host and kept.
    CertificateAndKey serverCertificate(const std::string& host);

private:
    CertificateAndKey authority_;
    std::mutex mutex_;
    std::map<std::string, CertificateAndKey> issued_;
    long serial_ = 1;
};

}  // namespace zenvira::site
