#pragma once
// The tray icon while downloads run: its tooltip tells the progress, its menu shows the
// windows, pauses every download (each keeps its part file and resumes when started again)
// and quits. Hidden again when the downloads have ended.
#include <QObject>
#include <QString>
#include <functional>

class QMenu;
namespace zenvira::window {
class frmMain;
}
class QSystemTrayIcon;

namespace zenvira::gui {

struct TrayCommands {
    std::function<void()> showWindows;
    std::function<void()> pauseAll;
    std::function<void()> quit;
};

class DownloadTray : public QObject {
    Q_OBJECT
public:
    explicit DownloadTray(TrayCommands commands, QObject* parent = nullptr);
    ~DownloadTray() override;

    // A download runs; `progress` is what the status line says of it.
    void downloadProgress(const QString& progress);
    // Nothing runs any more.
    void downloadsEnded();

    bool wanted() const { return wanted_; }  // shown where the desktop has a tray
    QString toolTip() const;
    QMenu* menu() const { return menu_; }

private:
    TrayCommands commands_;
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
    bool wanted_ = false;
};

// Shows the tray while the main window's downloads run and hides it once one has ended and
// its last progress has been shown (a batch's next row shows it again).
void followDownloads(DownloadTray& tray, window::frmMain& window);

}  // namespace zenvira::gui
