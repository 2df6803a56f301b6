#include "tests/site/test_authority.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace zenvira::site {

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("test authority: " + what); }

std::shared_ptr<EVP_PKEY> newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) fail("no EC key");
    return {key, EVP_PKEY_free};
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (!extension) fail("extension " + value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

bool isIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// A certificate valid from a day ago (clocks differ) for a year.
std::shared_ptr<X509> newCertificate(long serial, const std::string& commonName, EVP_PKEY* key) {
    std::shared_ptr<X509> certificate(X509_new(), X509_free);
    if (!certificate) fail("no certificate");
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 365L * 24 * 3600);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Zenvira tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    return certificate;
}

}  // namespace

TestAuthority::TestAuthority() {
    authority_.key = newKey();
    authority_.certificate = newCertificate(serial_++, "Zenvira test authority", authority_.key.get());
    X509* ca = authority_.certificate.get();
    X509_set_issuer_name(ca, X509_get_subject_name(ca));
    addExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca, ca, NID_subject_key_identifier, "hash");
    if (X509_sign(ca, authority_.key.get(), EVP_sha256()) == 0) fail("cannot sign the authority");
}

std::string TestAuthority::certificatePem() const {
    std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(out.get(), authority_.certificate.get());
    char* data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

CertificateAndKey TestAuthority::serverCertificate(const std::string& host) {
    std::lock_guard lock(mutex_);
    if (const auto it = issued_.find(host); it != issued_.end()) return it->second;
    CertificateAndKey issued;
    issued.key = newKey();
    issued.certificate = newCertificate(serial_++, host, issued.key.get());
    X509* certificate = issued.certificate.get();
    X509* ca = authority_.certificate.get();
    X509_set_issuer_name(certificate, X509_get_subject_name(ca));
    addExtension(certificate, ca, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate, ca, NID_key_usage, "critical,digitalSignature");
    addExtension(certificate, ca, NID_ext_key_usage, "serverAuth");
    addExtension(certificate, ca, NID_subject_key_identifier, "hash");
    addExtension(certificate, ca, NID_authority_key_identifier, "keyid:always");
    addExtension(certificate, ca, NID_subject_alt_name, (isIpAddress(host) ? "IP:" : "DNS:") + host);
    if (X509_sign(certificate, authority_.key.get(), EVP_sha256()) == 0) fail("cannot sign for " + host);
    issued_[host] = issued;
    return issued;
}

}  // namespace zenvira::site
