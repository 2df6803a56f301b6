#include "ui/flash_player/mpv_session.h"

#include "ui/flash_player/mpv_library.h"

#include <QByteArray>
#include <QMetaObject>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>

namespace zenvira::components {

MpvSession::MpvSession(MpvOutput output, QObject* parent) : QObject(parent), output_(output) {
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    std::string unloaded;
    mpv_ = mpvLibrary(unloaded);
    if (!mpv_) {
        startError_ = QString::fromStdString(unloaded);
        return;
    }
    handle_ = mpv_->create();
    if (!handle_) return;
    const auto setOption = [this](const char* name, const char* value) {
        mpv_->set_option_string(handle_, name, value);
    };
    setOption("terminal", "no");
    setOption("msg-level", "all=no");
    setOption("config", "no");
    setOption("input-default-bindings", "no");
    setOption("osc", "no");
    setOption("idle", "yes");
    setOption("keep-open", "yes");  // stop on the last frame, as the movie did
    setOption("hwdec", "no");
    // The null video output still decodes and times frames, so the timeline runs on a
    // machine that has neither a display nor sound.
    setOption("vo", output == MpvOutput::Rendered ? "libmpv" : "null");
    if (output == MpvOutput::Null) setOption("ao", "null");
    if (mpv_->initialize(handle_) < 0) {
        mpv_->terminate_destroy(handle_);
        handle_ = nullptr;
        return;
    }
    observeProperties();
    mpv_->set_wakeup_callback(
        handle_,
        [](void* self) {
            QMetaObject::invokeMethod(static_cast<MpvSession*>(self), &MpvSession::drainEvents, Qt::QueuedConnection);
        },
        this);
}

MpvSession::~MpvSession() {
    if (!handle_) return;
    mpv_->set_wakeup_callback(handle_, nullptr, nullptr);
    mpv_->terminate_destroy(handle_);
}

void MpvSession::observeProperties() {
    mpv_->observe_property(handle_, 0, "pause", MPV_FORMAT_FLAG);
    mpv_->observe_property(handle_, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_->observe_property(handle_, 0, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_->observe_property(handle_, 0, "duration", MPV_FORMAT_DOUBLE);
    mpv_->observe_property(handle_, 0, "volume", MPV_FORMAT_DOUBLE);
}

void MpvSession::loadFile(const QString& path, bool paused) {
    if (!handle_) return;
    setPaused(paused);
    const QByteArray file = path.toUtf8();
    const char* command[] = {"loadfile", file.constData(), "replace", nullptr};
    mpv_->command_async(handle_, 0, command);
}

void MpvSession::setPaused(bool paused) {
    if (!handle_) return;
    int flag = paused ? 1 : 0;
    mpv_->set_property_async(handle_, 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvSession::seek(double seconds) {
    if (!handle_ || !std::isfinite(seconds)) return;
    const QByteArray target = QByteArray::number(std::max(0.0, seconds), 'f', 3);
    const char* command[] = {"seek", target.constData(), "absolute", nullptr};
    mpv_->command_async(handle_, 0, command);
}

void MpvSession::setVolume(int percent) {
    if (!handle_) return;
    double value = std::clamp(percent, 0, 100);
    mpv_->set_property_async(handle_, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvSession::setBackground(int rgb) {
    if (!handle_ || rgb < 0) return;
    const QByteArray colour = "#" + QByteArray::number(rgb & 0xFFFFFF, 16).rightJustified(6, '0');
    const char* text = colour.constData();
    mpv_->set_property_async(handle_, 0, "background", MPV_FORMAT_STRING, &text);
}

void MpvSession::drainEvents() {
    while (handle_) {
        mpv_event* event = mpv_->wait_event(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        handleEvent(*event);
    }
}

void MpvSession::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_FILE_LOADED:
        emit fileLoaded();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        readPausedNow();
        emit playbackRestarted();
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        const bool failed = end && end->reason == MPV_END_FILE_REASON_ERROR;
        emit fileEnded(failed ? QString::fromUtf8(mpv_->error_string(end->error)) : QString());
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(event);
        break;
    default:
        break;
    }
}

void MpvSession::notePaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    emit pausedChanged(paused);
}

// The notice of a pause change can come after the restart it preceded: a video opened paused
// would then look, for a moment, as if it ran. The flag as the player holds it now settles it.
void MpvSession::readPausedNow() {
    int flag = 0;
    if (handle_ && mpv_->get_property(handle_, "pause", MPV_FORMAT_FLAG, &flag) >= 0) notePaused(flag != 0);
}

void MpvSession::handlePropertyChange(const mpv_event& event) {
    const auto* property = static_cast<const mpv_event_property*>(event.data);
    if (property->format == MPV_FORMAT_FLAG) {
        const bool value = *static_cast<const int*>(property->data) != 0;
        if (std::strcmp(property->name, "pause") == 0) {
            notePaused(value);
        } else if (std::strcmp(property->name, "eof-reached") == 0) {
            endReached_ = value;
        }
    } else if (property->format == MPV_FORMAT_DOUBLE) {
        const double value = *static_cast<const double*>(property->data);
        if (std::strcmp(property->name, "time-pos") == 0) {
            timePosition_ = value;
            emit timePositionChanged(value);
        } else if (std::strcmp(property->name, "duration") == 0) {
            duration_ = value;
            emit durationChanged(value);
        } else if (std::strcmp(property->name, "volume") == 0) {
            volume_ = static_cast<int>(std::lround(value));
            emit volumeChanged(volume_);
        }
    }
}

}  // namespace zenvira::components
