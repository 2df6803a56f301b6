#pragma once
// The certificate authorities an HTTPS transfer trusts, chosen as the curl tool chooses them:
// CURL_CA_BUNDLE names a file; otherwise SSL_CERT_FILE names a file and SSL_CERT_DIR a
// folder; otherwise libcurl's own choice (the system's authorities) stands. Certificates are
// verified in every case.
#include <curl/curl.h>

#include <string>

namespace zenvira::components {

struct CaBundle {
    std::string file;    // empty: libcurl's own
    std::string folder;  // empty: libcurl's own
};

CaBundle caBundleFromEnvironment();

// Sets the transfer's authorities from the environment; leaves libcurl's when none is named.
void applyCaBundle(CURL* easy);

}  // namespace zenvira::components
