#pragma once
// Fetches the encoder when it is missing: a zip archive holding avformat.dll comes over the
// downloader into a temporary folder, and avformat.dll is unpacked from it into the
// application folder. The encoder is a program the converter runs, so the archive is
// unpacked only when its SHA-256 equals both the one published beside it and the one this
// version of Zenvira has pinned; anything else is refused before a byte is unpacked. The file appears there whole and executable, or not at all: it is
// written to a temporary file beside it and renamed onto avformat.dll only when every byte
// came out of the archive intact. Whatever fails leaves the application folder as it was.
// Qt Core only.
#include <QObject>
#include <cstdint>
#include <string>
#include <utility>

namespace zenvira::components {
class clDownLoader;
}

namespace zenvira::convert {

struct EncoderInstallResult {
    bool ok = false;
    std::string error;  // one line a person understands, when !ok
};

// The largest encoder we unpack; anything larger is not an encoder but a damaged or hostile
// archive, and would only fill the disk.
constexpr std::int64_t kMaxEncoderBytes = std::int64_t{1} << 30;

// Unpacks the entry named avformat.dll (any letter case, in any folder of the archive) from
// the zip at `archivePath` into `applicationFolder`/avformat.dll, replacing a file there.
EncoderInstallResult installEncoderFromArchive(const std::string& archivePath, const std::string& applicationFolder);

// The SHA-256 (64 lower-case hex digits) of the encoder archive this version installs.
// ZENVIRA_ENCODER_SHA256 replaces it, as ZENVIRA_SITE_HOST replaces the site (tests, the demo).
std::string pinnedEncoderArchiveSha256();

// The digest a checksum file gives (the first word of `sha256sum` output), in lower case;
// empty when the text holds none.
std::string publishedSha256(const std::string& checksumText);

// The SHA-256 of a file in lower-case hex; empty when it cannot be read.
std::string fileSha256(const std::string& path);

// Whether the archive may be unpacked: empty when its digest equals the published and the
// pinned one, else the reason it may not, in words a person understands.
std::string archiveDigestProblem(const std::string& actual, const std::string& published, const std::string& pinned);

struct EncoderDownloadRequest {
    EncoderDownloadRequest(std::string address_, std::string applicationFolder_, std::string temporaryFolder_)
        : address(std::move(address_)),
          applicationFolder(std::move(applicationFolder_)),
          temporaryFolder(std::move(temporaryFolder_)) {}

    std::string address;            // the archive's web address
    std::string applicationFolder;  // where avformat.dll goes
    std::string temporaryFolder;    // where the archive waits while it comes (a folder of its own is made in it)
    std::string checksumAddress;    // its published SHA-256; empty: the address + ".sha256"
    std::string pinnedSha256;       // empty: pinnedEncoderArchiveSha256()
};

// One fetch and install. run() waits in a nested event loop, so the UI goes on while the
// transfer runs on the downloader's thread; stop() from a handler during run() cancels it.
class EncoderDownload : public QObject {
    Q_OBJECT
public:
    explicit EncoderDownload(EncoderDownloadRequest request, QObject* parent = nullptr);
    ~EncoderDownload() override;

    EncoderInstallResult run();
    void stop();

signals:
    // Bytes of the archive so far and its size (-1 while the server has not said).
    void progress(qint64 received, qint64 total);

private:
    EncoderInstallResult fetchFile(const std::string& address, const std::string& folder, const char* name);

    EncoderDownloadRequest request_;
    components::clDownLoader* downloader_ = nullptr;  // while run() is fetching
    bool stopRequested_ = false;
};

}  // namespace zenvira::convert
