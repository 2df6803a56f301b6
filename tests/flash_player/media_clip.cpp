#include "media_clip.h"

#include <QFile>
#include <QTemporaryDir>

#include "player/movie/custom_resource.h"
#include "tests/media/flv_clip.h"

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
        const QString path = folder().filePath("My Videos/a b.flv");
        return zenvira::testmedia::makeFlvClip(path, 640, 360, 3) ? path : QString();
    }();
    return clip;
}

QString testMovieFile() {
    const auto movie = zenvira::player::customResource(zenvira::player::kPlayerMovieResource);
    return testFileWith("4242", QByteArray(reinterpret_cast<const char*>(movie.data()),
                                           static_cast<qsizetype>(movie.size())));
}
