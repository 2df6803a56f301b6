#pragma once
// The product site as the converter reaches it: the fixture site behind the HTTPS proxy
// setting, trusted through CURL_CA_BUNDLE, under the program's real addresses. It publishes
// the encoder archive with its SHA-256 beside it, the way the real site does.
#include <QCryptographicHash>

#include <optional>
#include <string>

#include "tests/converter_window/convwin_support.h"
#include "tests/site/fixture_site.h"

namespace zenvira::convwin::testing {

inline std::string sha256Of(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

struct SecureProductSite {
    site::FixtureSite site;
    ScopedEnv proxy{"https_proxy", site.proxyAddress()};
    ScopedEnv trust{"CURL_CA_BUNDLE", site.certificateAuthorityFile()};
    ScopedEnv host{"ZENVIRA_SITE_HOST", ""};
    std::optional<ScopedEnv> pin;

    // Serves the archive and its checksum (`sha256sum` style); the program is made to expect
    // this archive, as a release pins the one it publishes.
    void publishEncoderArchive(const std::string& zipBytes, site::FixedResponse archive = {}) {
        archive.body = zipBytes;
        archive.contentType = "application/zip";
        site.addFixed("/files/avformat.zip", archive);
        site.addFixed("/files/avformat.zip.sha256", {.body = sha256Of(zipBytes) + "  avformat.zip\n", .contentType = "text/plain"});
        pin.emplace("ZENVIRA_ENCODER_SHA256", sha256Of(zipBytes));
    }
};

}  // namespace zenvira::convwin::testing
