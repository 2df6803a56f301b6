// Every control of every window can be reached with the keyboard and is named for a screen
// reader: a walk over each window's widgets, offscreen, as the program builds them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <functional>
#include <memory>

#include "app/window/frmMain.h"
#include "convert/window/frmConv.h"
#include "player/window/Form1.h"
#include "queue/window/downloads_window.h"
#include "tests/support/test_application.h"
#include "ui/qt_msg_box.h"

using namespace zenvira;

namespace {

bool isControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QTextEdit*>(widget);
}

QString accessibleNameOf(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
}

// What a person cannot reach or a screen reader cannot name, one line each.
QStringList unreachableOrUnnamed(QWidget& window) {
    QStringList faults;
    // The controls Tab visits, going once round the focus chain.
    QSet<QWidget*> tabbed;
    for (QWidget* at = window.nextInFocusChain(); at && at != &window; at = at->nextInFocusChain())
        if ((at->focusPolicy() & Qt::TabFocus) && at->isEnabled() && at->isVisibleTo(&window)) tabbed.insert(at);
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!isControl(widget) || !widget->isVisibleTo(&window)) continue;
        // A line edit inside a combo box or spin box, a list's header: reached and named as
        // the control they belong to.
        if (qobject_cast<QHeaderView*>(widget) || qobject_cast<QComboBox*>(widget->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            continue;
        const QString who = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                           : widget->objectName();
        if (accessibleNameOf(widget).isEmpty()) faults << who + " has no accessible name";
        if (widget->isEnabled() && !tabbed.contains(widget)) faults << who + " is not reached with Tab";
    }
    return faults;
}

}  // namespace

TEST(KeyboardReach, EveryControlOfEveryWindowIsReachedWithTabAndNamed) {
    testApplication();
    QTemporaryDir home;
    // The player registers the .flv association and plays through libmpv: keep both local.
    qputenv("ZENVIRA_MPV_NULL", "1");
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    const QString ini = home.filePath("settings.ini");
    const auto settings = [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    struct Case {
        const char* window;
        std::function<std::unique_ptr<QWidget>()> make;
    };
    for (const Case& c : std::vector<Case>{
             {"main",
              [&] {
                  window::FrmMainSetup setup;
                  setup.applicationFolder = home.path();
                  setup.twipsPerPixel = ui::TwipsPerPixel{15, 15};
                  setup.settings = settings;
                  setup.otherWindows.addToQueue = [](const std::string&) {};
                  auto w = std::make_unique<window::frmMain>(std::move(setup));
                  // Every quality button enabled, and the copied-link bar shown, as they are in use.
                  for (int k = 0; k < window::kQualityButtonCount; ++k) w->setQualityButtonEnabled(k, true);
                  w->setWatchClipboard(true);
                  QGuiApplication::clipboard()->setText("https://www.youtube.com/watch?v=zv2KeyReach1");
                  QCoreApplication::processEvents();
                  return std::unique_ptr<QWidget>(std::move(w));
              }},
             {"converter",
              [&] {
                  return std::make_unique<convert::frmConv>(convert::FrmConvSetup{ui::TwipsPerPixel{15, 15}, settings});
              }},
             {"player", [] { return std::make_unique<player::Form1>(std::string()); }},
             {"downloads",
              [&] {
                  return std::make_unique<queue::DownloadsWindow>(
                      queue::DownloadsWindowSetup{home.filePath("queue.sqlite").toStdString(), false, {}});
              }},
             {"message box", [] { return ui::buildMessageBox("Replace the file?", 3 + 32, "Zenvira"); }},
             {"file dialog",
              [&] {
                  auto dialog =
                      std::make_unique<QFileDialog>(nullptr, "Open", home.path(), "Video files (*.flv *.mp4)");
                  dialog->setOption(QFileDialog::DontUseNativeDialog);
                  return std::unique_ptr<QWidget>(std::move(dialog));
              }},
         }) {
        std::unique_ptr<QWidget> window = c.make();
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(unreachableOrUnnamed(*window).join("; ").toStdString(), "") << c.window;
        window->close();
    }
}
