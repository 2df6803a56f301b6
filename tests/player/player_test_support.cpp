#include "player_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include "tests/media/flv_clip.h"
#include "tests/support/application.h"

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;  // removed when the test binary ends
    return dir;
}

}  // namespace

QString testHome() { return scratch().filePath("home"); }

QApplication& testApplication() {
    static QApplication* application = [] {
        QDir().mkpath(testHome());
        qputenv("HOME", testHome().toUtf8());
        qputenv("XDG_DATA_HOME", (testHome() + "/.local/share").toUtf8());
        qputenv("XDG_CONFIG_HOME", (testHome() + "/.config").toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        return &zenvira::testing::widgetApplication();
    }();
    return *application;
}

QString freshFolder(const QString& name) {
    QDir folder(scratch().filePath(name));
    folder.removeRecursively();
    QDir().mkpath(folder.path());
    return folder.path();
}

QString testClip() {
    static const QString clip = [] {
        const QString path = scratch().filePath("My Videos/a b.flv");
        return zenvira::testmedia::makeFlvClip(path, 320, 240, 2) ? path : QString();
    }();
    return clip;
}
