#include "app/gui/download_tray.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/window/frmMain.h"

namespace zenvira::gui {

DownloadTray::DownloadTray(TrayCommands commands, QObject* parent)
    : QObject(parent), commands_(std::move(commands)), menu_(new QMenu), icon_(new QSystemTrayIcon(this)) {
    menu_->setObjectName(QStringLiteral("trayMenu"));
    const auto call = [](const std::function<void()>& command) {
        return [command] {
            if (command) command();
        };
    };
    menu_->addAction(tr("Show windows"), this, call(commands_.showWindows));
    menu_->addAction(tr("Pause all"), this, call(commands_.pauseAll));
    menu_->addSeparator();
    menu_->addAction(tr("Quit"), this, call(commands_.quit));
    QIcon icon = QIcon::fromTheme(QStringLiteral("zenvira"));
    if (icon.isNull()) icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_ArrowDown);
    icon_->setIcon(icon);
    icon_->setContextMenu(menu_);
    icon_->setToolTip(QStringLiteral("Zenvira"));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && commands_.showWindows) commands_.showWindows();
    });
}

DownloadTray::~DownloadTray() { delete menu_; }

void DownloadTray::downloadProgress(const QString& progress) {
    icon_->setToolTip(QStringLiteral("Zenvira: ") + progress);
    if (!wanted_) {
        wanted_ = true;
        if (QSystemTrayIcon::isSystemTrayAvailable()) icon_->show();
    }
}

void DownloadTray::downloadsEnded() {
    wanted_ = false;
    icon_->setToolTip(QStringLiteral("Zenvira"));
    icon_->hide();
}

QString DownloadTray::toolTip() const { return icon_->toolTip(); }

void followDownloads(DownloadTray& tray, window::frmMain& window) {
    window.onDownloadProgress([&tray](const std::string& progress) { tray.downloadProgress(QString::fromStdString(progress)); });
    window.workflow().onDownloadEnded([&tray](const app::DownloadEnded&) {
        QTimer::singleShot(0, &tray, &DownloadTray::downloadsEnded);
    });
}

}  // namespace zenvira::gui
