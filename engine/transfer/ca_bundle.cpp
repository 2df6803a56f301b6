#include "engine/transfer/ca_bundle.h"

#include <cstdlib>

namespace zenvira::components {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

CaBundle caBundleFromEnvironment() {
    CaBundle bundle;
    bundle.file = variable("CURL_CA_BUNDLE");
    if (bundle.file.empty()) {
        bundle.folder = variable("SSL_CERT_DIR");
        bundle.file = variable("SSL_CERT_FILE");
    }
    return bundle;
}

void applyCaBundle(CURL* easy) {
    const CaBundle bundle = caBundleFromEnvironment();
    if (!bundle.file.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, bundle.file.c_str());
    if (!bundle.folder.empty()) curl_easy_setopt(easy, CURLOPT_CAPATH, bundle.folder.c_str());
}

}  // namespace zenvira::components
