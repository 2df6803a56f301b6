#pragma once
// One libmpv player and its events, delivered as signals on the thread that owns the object.
// Video goes to a render context (VideoSurface) or, with null output, nowhere; the timeline,
// pause and position work the same either way. libmpv itself is loaded with the first session
// (mpv_library.h).
#include <QObject>
#include <QString>

struct mpv_handle;
struct mpv_event;

namespace zenvira::components {

struct MpvLibrary;

enum class MpvOutput {
    Rendered,  // video through a render context, audio to the system's device
    NoVideo,   // video decoded but not shown (no OpenGL here), audio to the system's device
    Null,      // neither video nor audio: tests on machines without display or sound
};

class MpvSession : public QObject {
    Q_OBJECT

public:
    explicit MpvSession(MpvOutput output, QObject* parent = nullptr);
    ~MpvSession() override;

    bool valid() const { return handle_ != nullptr; }
    // Why the session is not valid when libmpv could not be loaded; empty otherwise.
    const QString& startError() const { return startError_; }
    mpv_handle* handle() const { return handle_; }
    MpvOutput output() const { return output_; }

    void loadFile(const QString& path, bool paused);
    void setPaused(bool paused);
    void seek(double seconds);
    void setVolume(int percent);
    void setBackground(int rgb);

    bool paused() const { return paused_; }
    bool endReached() const { return endReached_; }
    double timePosition() const { return timePosition_; }
    double duration() const { return duration_; }
    int volume() const { return volume_; }

signals:
    void fileLoaded();
    void playbackRestarted();
    void pausedChanged(bool paused);
    void timePositionChanged(double seconds);
    void durationChanged(double seconds);
    void volumeChanged(int percent);
    void fileEnded(const QString& error);  // empty error: closed normally

private:
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void handlePropertyChange(const mpv_event& event);
    void notePaused(bool paused);
    void readPausedNow();
    void observeProperties();

    const MpvLibrary* mpv_ = nullptr;
    mpv_handle* handle_ = nullptr;
    QString startError_;
    MpvOutput output_;
    bool paused_ = false;
    bool endReached_ = false;
    double timePosition_ = 0;
    double duration_ = 0;
    int volume_ = 100;
};

}  // namespace zenvira::components
