#include "player_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include "tests/media/flv_clip.h"

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;  // removed when the test binary ends
    return dir;
}

}  // namespace

QString testHome() { return scratch().filePath("home"); }

QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "player_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("ZENVIRA_MPV_NULL")) qputenv("ZENVIRA_MPV_NULL", "1");
        QDir().mkpath(testHome());
        qputenv("HOME", testHome().toUtf8());
        qputenv("XDG_DATA_HOME", (testHome() + "/.local/share").toUtf8());
        qputenv("XDG_CONFIG_HOME", (testHome() + "/.config").toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        return new QApplication(argc, argv);  // lives until the process ends
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
