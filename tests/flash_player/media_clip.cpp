#include "media_clip.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "player/movie/custom_resource.h"

namespace {

QTemporaryDir& folder() {
    static QTemporaryDir dir;  // removed when the test binary ends
    return dir;
}

}  // namespace

QString testFileWith(const QString& name, const QByteArray& bytes) {
    const QString path = folder().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write(bytes);
    return path;
}

QString testClip() {
    static const QString clip = [] {
        QDir(folder().path()).mkpath("My Videos");
        const QString path = folder().filePath("My Videos/a b.flv");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "testsrc=size=640x360:rate=25", "-f", "lavfi", "-i", "sine", "-t", "3",
                                "-c:v", "flv", "-c:a", "libmp3lame", path});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) return QString();
        return path;
    }();
    return clip;
}

QString testMovieFile() {
    const auto movie = zenvira::player::customResource(zenvira::player::kPlayerMovieResource);
    return testFileWith("4242", QByteArray(reinterpret_cast<const char*>(movie.data()),
                                           static_cast<qsizetype>(movie.size())));
}
