#include "tests/encoder/media_fixture.h"

#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

#include "tests/encoder/front_runner.h"

namespace zenvira::encoder::testing {

namespace {

const char* clipName(Clip clip) {
    switch (clip) {
        case Clip::PictureAndSound:
            return "clip.flv";
        case Clip::PictureOnly:
            return "picture-only.flv";
        case Clip::SoundOnly:
            return "sound-only.flv";
    }
    return "clip.flv";
}

int intOf(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString().toInt() : value.toInt();
}

}  // namespace

std::string clipPath(Clip clip) {
    const std::string folder = ENCODER_TEST_MEDIA;
    const std::string path = folder + "/" + clipName(clip);
    if (std::filesystem::exists(path)) return path;
    // Made under a name of its own and renamed, so tests running side by side never read half a file.
    const std::string partial = path + "." + std::to_string(getpid()) + ".flv";
    if (testmedia::makeFlvClip(QString::fromStdString(partial), 320, 240, 2, clip))
        std::filesystem::rename(partial, path);
    return path;
}

const ProbedStream* ProbedFile::first(const std::string& type) const {
    for (const auto& stream : streams)
        if (stream.type == type) return &stream;
    return nullptr;
}

int ProbedFile::count(const std::string& type) const {
    int n = 0;
    for (const auto& stream : streams) n += stream.type == type;
    return n;
}

ProbedFile probeFile(const std::string& path) {
    const ProgramRun run = runProgram("ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of", "json", path});
    ProbedFile file;
    if (!run.exited(0)) return file;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    file.format = root.value("format").toObject().value("format_name").toString().toStdString();
    file.duration = root.value("format").toObject().value("duration").toString().toDouble();
    for (const QJsonValue value : root.value("streams").toArray()) {
        const QJsonObject s = value.toObject();
        file.streams.push_back(ProbedStream{
            s.value("codec_type").toString().toStdString(), s.value("codec_name").toString().toStdString(),
            intOf(s, "width"), intOf(s, "height"), s.value("r_frame_rate").toString().toStdString(),
            s.value("display_aspect_ratio").toString().toStdString(), intOf(s, "sample_rate"), intOf(s, "channels")});
    }
    file.ok = true;
    return file;
}

}  // namespace zenvira::encoder::testing
