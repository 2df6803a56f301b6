// zenvira: the desktop front. Shows the main window; every message box and Open dialog of
// the program becomes a Qt dialog.
//
//   zenvira [FILE.flv]           the file plays when the player window opens (Play)
//   zenvira --screenshot FILE    saves a picture of the main window once it is shown, then ends
//   zenvira ADDRESS|FILE...      while Zenvira runs: handed to it (an address extracted, a
//                                file played), and this one ends at once
//   zenvira --downloads          the Downloads window opens (the running Zenvira's, when one
//                                runs); the browser's native host starts this
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/gui/download_tray.h"
#include "app/gui/other_windows.h"
#include "app/gui/queue_watch.h"
#include "app/gui/single_instance.h"
#include "app/window/frmMain.h"
#include "player/window/command_argument.h"
#include "queue/batch_entries.h"
#include "queue/queue_path.h"
#include "ui/desktop_look.h"
#include "ui/qt_file_dialog.h"
#include "ui/qt_msg_box.h"

namespace {

std::optional<QString> screenshotPath(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot"));
    if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
    return arguments.at(at + 1);
}

// Waits a moment so the window system has shown and painted the window.
void saveScreenshotLater(zenvira::window::frmMain& window, const QString& path) {
    QTimer::singleShot(500, &window, [&window, path] {
        const bool saved = window.grab().save(path);
        if (!saved) std::fprintf(stderr, "zenvira: cannot save the screenshot to %s\n", qPrintable(path));
        window.close();
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

// The addresses and files the program was started with.
QStringList operandsOf(const QStringList& arguments) {
    QStringList operands;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments.at(i).startsWith(QLatin1Char('-'))) operands << arguments.at(i);
    return operands;
}

// What a second program hands over to ask for the Downloads window; operands never start
// with a dash, so no address or file is read as it.
const QString kDownloadsOperand = QStringLiteral("--downloads");

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Zenvira"));
    QApplication::setWindowIcon(zenvira::ui::applicationIcon());
    zenvira::ui::followDesktopColors();
    zenvira::ui::installQtMessageBoxHandler();
    zenvira::ui::installQtFileDialogHandler();

    const auto screenshot = screenshotPath(QCoreApplication::arguments());
    const QStringList operands = operandsOf(QCoreApplication::arguments());
    const bool downloads = QCoreApplication::arguments().contains(kDownloadsOperand);
    std::optional<zenvira::gui::StartGuard> starting;
    if (!screenshot) starting.emplace();
    if (!screenshot &&
        zenvira::gui::handToRunningInstance(downloads ? operands + QStringList{kDownloadsOperand} : operands))
        return 0;
    // Listening from here on, so a second start while this one loads hands over instead of
    // starting a second program; what comes before the window is shown waits for it.
    zenvira::window::frmMain* shown = nullptr;
    QStringList early;
    std::function<void()> showDownloads;
    const auto handedOver = [&](const QString& operand) {
        if (!shown) return early.push_back(operand);
        if (operand == kDownloadsOperand) {
            if (showDownloads) showDownloads();
        } else {
            shown->openHandedOver(operand);
        }
    };
    std::optional<zenvira::gui::RunningInstance> running;
    if (!screenshot) running.emplace(handedOver);
    starting.reset();

    zenvira::window::FrmMainSetup setup;
    std::function<bool()> downloadsShown;
    setup.otherWindows = zenvira::gui::otherWindows(screenshot ? std::string() : zenvira::player::processArgumentText(),
                                                    &downloadsShown);
    showDownloads = setup.otherWindows.showDownloads;
    // The batch's rows go into the download queue too; declared first, so it outlives the window.
    zenvira::queue::BatchEntries batchEntries({});
    zenvira::window::frmMain window(std::move(setup));
    window.workflow().setBatchQueue(&batchEntries);
    if (!window.Form_Load()) return 0;
    if (!window.skinApplied())
        std::fprintf(stderr, "zenvira: no skin, plain look: %s\n", qPrintable(window.skinError()));
    window.show();
    zenvira::gui::DownloadTray tray({.showWindows = [&window] { window.openHandedOver({}); },
                                     .pauseAll = [&window] { window.workflow().Stop(); },
                                     .quit = [&window] { window.close(); }});
    zenvira::gui::followDownloads(tray, window);
    std::unique_ptr<zenvira::gui::QueueWatch> queueWatch;
    if (!screenshot) {
        shown = &window;
        // An address given to the first program is extracted as a handed-over one is; a file
        // plays when the player opens, as before.
        for (const QString& operand : operands)
            if (window.takeLink(operand)) QTimer::singleShot(0, &window, &zenvira::window::frmMain::PushButton2_Click);
        if (downloads) showDownloads();
        for (const QString& operand : std::exchange(early, {})) handedOver(operand);
        queueWatch =
            zenvira::gui::watchQueueForDownloads(zenvira::queue::defaultQueuePath(), downloadsShown, showDownloads);
    }
    // Downloads left waiting or cut short (a batch too) go on: the Downloads window runs them.
    if (!screenshot && showDownloads && zenvira::queue::queueHasUnfinishedEntries())
        QTimer::singleShot(0, &window, showDownloads);
    if (screenshot) saveScreenshotLater(window, *screenshot);
    return QApplication::exec();
}
