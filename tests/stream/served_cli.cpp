#include "tests/stream/served_cli.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace zenvira::served {

QProcessEnvironment peerEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("http_proxy");
    return env;
}

void startCli(QProcess& cli, const QString& program, const site::FixtureSite& site, const QString& home,
              const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("http_proxy", QString::fromStdString(site.proxyAddress()));
    env.insert("ZENVIRA_DRIVE_C", home + "/drive-c");
    env.remove("https_proxy");
    cli.setProcessEnvironment(env);
    cli.setWorkingDirectory(home);
    cli.start(program, arguments);
}

std::string serveFragments(site::FixtureSite& site, const QString& folder, const std::string& stream, bool dash,
                           std::uint64_t bytesPerSecond) {
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const std::string at = "/" + stream + "/" + QDir(folder).relativeFilePath(file).toStdString();
        if (file.endsWith(".m3u8") || file.endsWith(".mpd")) {
            QFile text(file);
            if (!text.open(QIODevice::ReadOnly)) continue;
            site::FixedResponse playlist;
            playlist.body = text.readAll().toStdString();
            playlist.contentType = dash ? "application/dash+xml" : "application/vnd.apple.mpegurl";
            site.addFixed(at, playlist);
        } else {
            site::StreamShape media;
            media.filePath = file.toStdString();
            media.bytesPerSecond = bytesPerSecond;
            media.contentType = "video/mp4";
            site.addMedia(at, media);
        }
    }
    return "http://stream.example.com/" + stream + (dash ? "/manifest.mpd" : "/master.m3u8");
}

QString madeOnce(const QString& path, QStringList arguments) {
    if (QFile::exists(path)) return path;
    QDir().mkpath(QFileInfo(path).path());
    const QString scratch = path + "." + QString::number(QCoreApplication::applicationPid()) + ".tmp.mp4";
    arguments << scratch;
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", arguments);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        QFile::remove(scratch);
        return {};
    }
    // Another process may have put its own in place first: then that one is used.
    if (!QFile::rename(scratch, path)) QFile::remove(scratch);
    return QFile::exists(path) ? path : QString();
}

}  // namespace zenvira::served
