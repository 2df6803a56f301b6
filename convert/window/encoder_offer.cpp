#include "convert/window/encoder_offer.h"

#include <QProgressDialog>
#include <algorithm>

#include "components/msg_box/msg_box.h"
#include "convert/encoder_checks.h"
#include "convert/encoder_download.h"
#include "platform/application_folder.h"
#include "platform/temp_folder.h"

namespace zenvira::convert {

namespace {

namespace Style = components::MsgBoxStyle;
constexpr int kYesNo = 4;
constexpr int kAnswerYes = 6;
constexpr const char* kApplicationTitle = "Zenvira";

std::string manualDownloadText(const std::string& address) {
    return "Download it from " + address + "\r\nExtract in app folder";
}

void showProgress(QProgressDialog& dialog, qint64 received, qint64 total) {
    if (total <= 0) {
        dialog.setRange(0, 0);  // size unknown: a busy bar
        return;
    }
    dialog.setRange(0, 1000);
    dialog.setValue(static_cast<int>(std::min<qint64>(received, total) * 1000 / total));
}

EncoderInstallResult fetchWithProgress(const std::string& address, QWidget* dialogParent) {
    EncoderDownload download({address, platform::applicationFolder(), platform::temporaryFolder()});
    QProgressDialog dialog(QStringLiteral("Downloading avformat.dll from %1").arg(QString::fromStdString(address)),
                           QStringLiteral("Cancel"), 0, 0, dialogParent);
    dialog.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QObject::connect(&download, &EncoderDownload::progress, &dialog,
                     [&dialog](qint64 received, qint64 total) { showProgress(dialog, received, total); });
    QObject::connect(&dialog, &QProgressDialog::canceled, &download, &EncoderDownload::stop);
    // Shown at once and modal: while the fetch waits, nothing else of the application (another
    // click on the converter button among them) can start.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.show();
    EncoderInstallResult result = download.run();
    dialog.reset();
    return result;
}

}  // namespace

bool encoderInApplicationFolder() {
    const std::string found = platform::locateInApplicationFolder(kEncoderFileName);
    const auto separator = found.find_last_of("/\\");
    const std::string name = separator == std::string::npos ? found : found.substr(separator + 1);
    return name == kEncoderFileName;
}

EncoderOffer offerEncoder(const std::string& address, QWidget* dialogParent) {
    if (encoderInApplicationFolder()) return EncoderOffer::Present;
    const int answer = components::msgBox(
        "FFMPG requires avformat.dll which is not available in app folder.\r\n"
        "To start downloading now Click YES or NO to download Manually.",
        kYesNo + Style::Information, "Dependancy Download");
    if (answer != kAnswerYes) {
        components::msgBox(manualDownloadText(address), Style::OkOnly + Style::Information, "Download Manually");
        return EncoderOffer::Declined;
    }
    const EncoderInstallResult fetched = fetchWithProgress(address, dialogParent);
    if (!fetched.ok) {
        components::msgBox(fetched.error + "\r\n" + manualDownloadText(address), Style::OkOnly + Style::Critical,
                           "Error");
        return EncoderOffer::FetchFailed;
    }
    components::msgBox("avformat.dll downloade. Restart this form", Style::OkOnly, kApplicationTitle);
    return EncoderOffer::Fetched;
}

}  // namespace zenvira::convert
