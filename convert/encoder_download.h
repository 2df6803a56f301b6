#pragma once
// Fetches the encoder when it is missing: a zip archive holding avformat.dll comes over the
// downloader into a temporary folder, and avformat.dll is unpacked from it into the
// application folder. The file appears there whole and executable, or not at all: it is
// written to a temporary file beside it and renamed onto avformat.dll only when every byte
// came out of the archive intact. Whatever fails leaves the application folder as it was.
// Qt Core only.
#include <QObject>
#include <cstdint>
#include <string>

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

struct EncoderDownloadRequest {
    std::string address;            // the archive's web address
    std::string applicationFolder;  // where avformat.dll goes
    std::string temporaryFolder;    // where the archive waits while it comes (a folder of its own is made in it)
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
    EncoderInstallResult fetchArchive(const std::string& folder);

    EncoderDownloadRequest request_;
    components::clDownLoader* downloader_ = nullptr;  // while run() is fetching
    bool stopRequested_ = false;
};

}  // namespace zenvira::convert
