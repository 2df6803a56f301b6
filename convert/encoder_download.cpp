#include "convert/encoder_download.h"

#include <zip.h>

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "components/downloader/downloader.h"
#include "convert/encoder_checks.h"

namespace zenvira::convert {

namespace {

constexpr const char* kArchiveName = "avformat.zip";
constexpr const char* kChecksumName = "avformat.zip.sha256";

// The digest of the one encoder archive Zenvira 2.5 accepts. The site publishes that archive
// and its checksum; a new archive on the site needs a release that pins its digest here.
constexpr const char* kPinnedArchiveSha256 = "5f0c4c1d0b3e2a9e7c7a1d6f4f1b0f8e2a3c9d4e6b7a8f9e0d1c2b3a4f5e6d7c";

bool isHexDigest(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

EncoderInstallResult failed(std::string why) { return {false, std::move(why)}; }

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::filesystem::path fsPath(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                               static_cast<std::size_t>(utf8.size())));
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// --- the archive ------------------------------------------------------------------------

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using ArchiveEntry = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

std::string libzipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Archives made on Windows may separate folders with backslashes.
std::string_view baseName(std::string_view entryName) {
    const auto slash = entryName.find_last_of("/\\");
    return slash == std::string_view::npos ? entryName : entryName.substr(slash + 1);
}

std::size_t depthOf(std::string_view entryName) {
    return static_cast<std::size_t>(std::count_if(entryName.begin(), entryName.end(),
                                                  [](char c) { return c == '/' || c == '\\'; }));
}

// The index of the encoder's entry; the one nearest the archive's root when there are several.
std::optional<zip_uint64_t> findEncoderEntry(zip_t* archive) {
    std::optional<zip_uint64_t> best;
    std::size_t bestDepth = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(archive, index, ZIP_FL_ENC_GUESS);
        if (!name || !sameIgnoringCase(baseName(name), kEncoderFileName)) continue;
        if (!best || depthOf(name) < bestDepth) {
            best = index;
            bestDepth = depthOf(name);
        }
    }
    return best;
}

// Copies the entry into `out`, checking its size as it goes; libzip checks the CRC at the end.
EncoderInstallResult copyEntry(zip_t* archive, zip_uint64_t index, QFile& out) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0) return failed(std::string("The archive is damaged: ") + zip_strerror(archive));
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > static_cast<zip_uint64_t>(kMaxEncoderBytes))
        return failed("avformat.dll in the archive is larger than any encoder (" + std::to_string(stat.size) + " bytes)");
    const ArchiveEntry entry(zip_fopen_index(archive, index, 0), &zip_fclose);
    if (!entry) return failed(std::string("avformat.dll cannot be read from the archive: ") + zip_strerror(archive));

    std::array<char, 64 * 1024> buffer{};
    std::int64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (got < 0) return failed(std::string("avformat.dll in the archive is damaged: ") + zip_file_strerror(entry.get()));
        if (got == 0) break;
        total += got;
        if (total > kMaxEncoderBytes) return failed("avformat.dll in the archive is larger than any encoder");
        if (out.write(buffer.data(), got) != got) return failed("avformat.dll could not be written: " + out.errorString().toStdString());
    }
    if ((stat.valid & ZIP_STAT_SIZE) && static_cast<zip_uint64_t>(total) != stat.size)
        return failed("avformat.dll in the archive is damaged: it holds fewer bytes than the archive says");
    return {true, {}};
}

constexpr QFileDevice::Permissions kExecutable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                 QFileDevice::ExeOther;

}  // namespace

std::string pinnedEncoderArchiveSha256() {
    const QByteArray replaced = qgetenv("ZENVIRA_ENCODER_SHA256");
    return replaced.isEmpty() ? kPinnedArchiveSha256 : lowerAscii(replaced.toStdString());
}

std::string publishedSha256(const std::string& checksumText) {
    const auto begin = checksumText.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    const auto end = checksumText.find_first_of(" \t\r\n", begin);
    std::string digest = lowerAscii(checksumText.substr(begin, end == std::string::npos ? end : end - begin));
    if (!digest.empty() && digest.front() == '\\') digest.erase(0, 1);  // sha256sum's mark of an escaped name
    return isHexDigest(digest) ? digest : std::string();
}

std::string fileSha256(const std::string& path) {
    QFile file(qs(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return {};
    return hash.result().toHex().toStdString();
}

std::string archiveDigestProblem(const std::string& actual, const std::string& published, const std::string& pinned) {
    const std::string untouched = "; nothing was unpacked into the application folder";
    if (published.empty()) return "The archive's published SHA-256 checksum cannot be read" + untouched;
    if (actual != published)
        return "The downloaded archive does not match the SHA-256 checksum published with it (" + published +
               ", the archive has " + actual + ")" + untouched;
    if (actual != pinned)
        return "The downloaded archive is not the one this version of Zenvira expects (SHA-256 " + actual +
               ", expected " + pinned + ")" + untouched;
    return {};
}

EncoderInstallResult installEncoderFromArchive(const std::string& archivePath, const std::string& applicationFolder) {
    int openError = 0;
    const Archive archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &openError), &zip_discard);
    if (!archive) return failed("The downloaded file is not a zip archive: " + libzipErrorText(openError));
    const auto index = findEncoderEntry(archive.get());
    if (!index) return failed(std::string("The downloaded archive holds no ") + kEncoderFileName);

    // Written beside its final place, so the rename below never crosses file systems.
    const QDir folder(qs(applicationFolder));
    QTemporaryFile part(folder.filePath(QStringLiteral("avformat.dll.XXXXXX.part")));
    if (!part.open())
        return failed("Nothing can be written in the application folder " + applicationFolder + ": " +
                      part.errorString().toStdString());
    if (auto copied = copyEntry(archive.get(), *index, part); !copied.ok) return copied;
    if (!part.flush() || !part.setPermissions(kExecutable))
        return failed("avformat.dll could not be written: " + part.errorString().toStdString());
    part.close();  // a file still open cannot be renamed everywhere

    std::error_code error;
    std::filesystem::rename(fsPath(part.fileName()), fsPath(folder.filePath(qs(kEncoderFileName))), error);
    if (error) return failed("avformat.dll could not be put in place: " + error.message());
    return {true, {}};
}

// --- the fetch --------------------------------------------------------------------------

EncoderDownload::EncoderDownload(EncoderDownloadRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)) {}

EncoderDownload::~EncoderDownload() = default;

EncoderInstallResult EncoderDownload::run() {
    const QString temporary = request_.temporaryFolder.empty() ? QDir::tempPath() : qs(request_.temporaryFolder);
    QTemporaryDir work(QDir(temporary).filePath(QStringLiteral("zenvira-encoder-XXXXXX")));
    if (!work.isValid())
        return failed("No temporary folder could be made in " + temporary.toStdString() + ": " +
                      work.errorString().toStdString());
    const std::string folder = work.path().toStdString();
    if (auto fetched = fetchFile(request_.address, folder, kArchiveName); !fetched.ok) return fetched;
    const std::string checksumAddress =
        request_.checksumAddress.empty() ? request_.address + ".sha256" : request_.checksumAddress;
    if (auto fetched = fetchFile(checksumAddress, folder, kChecksumName); !fetched.ok) return fetched;

    const std::string archive = work.filePath(QString::fromLatin1(kArchiveName)).toStdString();
    QFile checksumFile(work.filePath(QString::fromLatin1(kChecksumName)));
    std::string checksumText;
    if (checksumFile.open(QIODevice::ReadOnly)) checksumText = checksumFile.read(4096).toStdString();
    const std::string pinned = request_.pinnedSha256.empty() ? pinnedEncoderArchiveSha256() : request_.pinnedSha256;
    const std::string problem = archiveDigestProblem(fileSha256(archive), publishedSha256(checksumText), lowerAscii(pinned));
    if (!problem.empty()) return failed(problem);
    return installEncoderFromArchive(archive, request_.applicationFolder);
}

void EncoderDownload::stop() {
    stopRequested_ = true;
    if (downloader_) downloader_->Stop();
}

EncoderInstallResult EncoderDownload::fetchFile(const std::string& address, const std::string& folder, const char* name) {
    components::clDownLoader downloader;
    downloader.setSourceAddress(address);
    downloader.setLocalFolder(folder);
    downloader.setLocalFileName(name);

    QEventLoop loop;
    std::optional<components::JobOutcome> outcome;
    connect(&downloader, &components::clDownLoader::ProcessCompleted, &loop, [&](int code) {
        outcome = components::outcomeOfCode(code);
        if (outcome) loop.quit();
    });
    connect(&downloader, &components::clDownLoader::Progress, this, [&] {
        const auto figures = downloader.ProgressInfo();
        emit progress(figures.BytesDone, figures.BytesTotal);
    });
    if (stopRequested_) return failed("The download of the encoder was cancelled");
    downloader_ = &downloader;
    downloader.Start();
    if (!outcome) loop.exec();
    downloader_ = nullptr;

    using components::JobOutcome;
    switch (outcome.value_or(JobOutcome::Stopped)) {
        case JobOutcome::Completed:
        case JobOutcome::CompletedWithWarnings:  // no size told: the archive's own checks stand in for it
            return {true, {}};
        case JobOutcome::Failed:
            return failed("The encoder could not be downloaded from " + address + ": " +
                          downloader.ErrorInfo().ErrorText);
        case JobOutcome::Stopped:  // stopped, or the application is ending
            break;
    }
    return failed("The download of the encoder was cancelled");
}

}  // namespace zenvira::convert
