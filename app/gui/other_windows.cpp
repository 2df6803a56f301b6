#include "app/gui/other_windows.h"

#include <QPointer>
#include <memory>

#include "convert/window/frmConv.h"
#include "player/window/Form1.h"
#include "queue/window/downloads_window.h"

namespace zenvira::gui {

namespace {

// The modeless windows; each deletes itself when closed, which empties its pointer.
struct OpenWindows {
    QPointer<convert::frmConv> converter;
    QPointer<player::Form1> player;
    QPointer<queue::DownloadsWindow> downloads;
    std::string playerArgumentText;
};

}  // namespace

window::OtherWindows otherWindows(std::string playerArgumentText, std::function<bool()>* downloadsShown) {
    auto open = std::make_shared<OpenWindows>();
    open->playerArgumentText = std::move(playerArgumentText);
    window::OtherWindows windows;
    windows.showConverter = [open] { convert::showConverterWindow(open->converter); };
    windows.showPlayer = [open] {
        if (!open->player) open->player = new player::Form1(open->playerArgumentText);
        open->player->show();
        open->player->raise();
        open->player->activateWindow();
    };
    windows.playStream = [open, show = windows.showPlayer](const std::string& address) {
        show();
        open->player->GotADrop(address);
    };
    windows.showDownloads = [open, play = windows.playStream] {
        // Play there opens the player on an entry's stream or its saved file.
        queue::DownloadsWindowSetup setup;
        setup.play = play;
        if (!open->downloads) open->downloads = new queue::DownloadsWindow(setup);
        open->downloads->show();
        open->downloads->raise();
        open->downloads->activateWindow();
    };
    windows.addToQueue = [open, show = windows.showDownloads](const std::string& address) {
        show();
        open->downloads->addLinks(QString::fromStdString(address));
    };
    if (downloadsShown) *downloadsShown = [open] { return open->downloads && open->downloads->isVisible(); };
    windows.playFile = [open](const std::string& file) {
        if (!open->player) open->player = new player::Form1(std::string());
        open->player->show();
        open->player->raise();
        open->player->activateWindow();
        open->player->GotADrop(file);
    };
    return windows;
}

}  // namespace zenvira::gui
