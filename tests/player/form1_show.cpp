// form1_show: the player window on its own, to look at it by hand (not a test).
//
//   form1_show [--screenshot FILE] [--after MS] [--fullscreen] [PATH...]
//
// The words after the options are the argument text the window plays. --screenshot saves a
// picture of the window MS milliseconds (default 3000) after it is shown, then ends.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "player/window/Form1.h"
#include "player/window/command_argument.h"
#include "ui/qt_file_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    zenvira::ui::installQtFileDialogHandler();

    QStringList words = QCoreApplication::arguments().mid(1);
    QString screenshot;
    int after = 3000;
    bool fullscreen = false;
    while (!words.isEmpty() && words.front().startsWith("--")) {
        const QString option = words.takeFirst();
        if (option == "--screenshot" && !words.isEmpty()) screenshot = words.takeFirst();
        else if (option == "--after" && !words.isEmpty()) after = words.takeFirst().toInt();
        else if (option == "--fullscreen") fullscreen = true;
    }
    std::vector<std::string> arguments{"form1_show"};
    for (const QString& word : words) arguments.push_back(word.toStdString());

    auto* player = new zenvira::player::Form1(zenvira::player::argumentTextOf(arguments));
    player->show();
    if (fullscreen) QTimer::singleShot(500, player, [player] { player->fullscreen_Click(); });
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(after, player, [player, screenshot] {
            const bool saved = player->grab().save(screenshot);
            if (!saved) std::fprintf(stderr, "form1_show: cannot save %s\n", qPrintable(screenshot));
            player->close();
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
