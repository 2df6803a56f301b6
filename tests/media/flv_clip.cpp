#include "tests/media/flv_clip.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace zenvira::testmedia {

namespace {

// Long enough for ffmpeg to encode a benchmark's clip on a busy machine.
constexpr int kFfmpegTimeoutMs = 120000;

QStringList clipArguments(const QString& path, int width, int height, int seconds, Clip streams) {
    QStringList args{"-nostdin", "-loglevel", "error", "-y"};
    if (streams != Clip::SoundOnly)
        args << "-f" << "lavfi" << "-i" << QStringLiteral("testsrc=size=%1x%2:rate=25").arg(width).arg(height);
    if (streams != Clip::PictureOnly) args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=44100";
    args << "-t" << QString::number(seconds) << "-c:v" << "flv" << "-c:a" << "libmp3lame" << path;
    return args;
}

}  // namespace

bool makeFlvClip(const QString& path, int width, int height, int seconds, Clip streams) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", clipArguments(path, width, height, seconds, streams));
    return ffmpeg.waitForFinished(kFfmpegTimeoutMs) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

}  // namespace zenvira::testmedia
