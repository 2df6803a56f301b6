#pragma once
// The stand-in for the Shockwave Flash control of the player window: a widget that loads the
// player movie by address and plays the video the address names through libmpv.
//
// - Added to a window under the name "flashplayer" (the constructor sets that object name).
// - visible, top, width and height are the widget's own (setVisible, setTop, setWidth,
//   setHeight, in pixels); BackgroundColor is 0xRRGGBB (-1: the movie's own, black); Menu
//   and FlashVars are kept as given ("autostart=true" starts playback at once).
// - LoadMovie(layer, address): address = movie path, optionally "?file=" and the video path
//   ("/tmp/4242?file=/home/u/My Videos/a b.flv"). The video path runs from "file=" to the end
//   or to a following "&", taken as it is (no percent-decoding). Only layer 0 plays; other
//   layers are ignored. A movie that is missing or is no valid SWF plays nothing:
//   movieError() says why. Without "file" the movie is loaded and nothing plays.
// - FSCommand("play", "") when playback starts or resumes, FSCommand("pause", "") when it
//   pauses (by the control bar, pause(), or the end of the video).
// - The control bar at the bottom (play/pause, seek bar, time, volume) is drawn by the
//   widget and works with the mouse.
// - ZENVIRA_MPV_NULL=1 in the environment: no video or audio output and no OpenGL at all
//   (for tests without display or sound); playback, time position and pause still run.
//   On Qt platforms without OpenGL (offscreen, minimal) video is decoded but not shown.
// - With OpenGL video, the video opens once the widget is first shown (its OpenGL context is
//   made then): a control that is never shown plays nothing.
//
// Events are delivered on the thread that owns the widget (the UI thread).
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

#include "ui/flash_player/playback_reporter.h"
#include "ui/flash_player/swf_header.h"

namespace zenvira::components {

class MpvSession;
class VideoSurface;
class ControlBar;

class FlashPlayerControl : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kObjectName = "flashplayer";

    explicit FlashPlayerControl(QWidget* parent = nullptr);
    ~FlashPlayerControl() override;

    // Position properties of the control, in pixels of the parent.
    void setTop(int top);
    void setWidth(int width);
    void setHeight(int height);

    void setBackgroundColor(int rgb);
    int BackgroundColor() const { return backgroundColor_; }
    void setMenu(bool menu) { menu_ = menu; }
    bool Menu() const { return menu_; }
    void setFlashVars(const QString& flashVars) { flashVars_ = flashVars; }
    const QString& FlashVars() const { return flashVars_; }

    void LoadMovie(int layer, const QString& address);
    QSize sizeHint() const override;  // the movie's stage

    // What the last LoadMovie found.
    bool movieLoaded() const { return movie_.has_value(); }
    const std::optional<SwfHeader>& movie() const { return movie_; }
    const QString& movieError() const { return movieError_; }
    const QString& mediaFile() const { return mediaFile_; }
    // The one line shown in the video area when the video cannot be played, empty otherwise.
    const QString& problemText() const { return problem_; }

    // The movie's own controls, as its control bar drives them.
    void play();
    void pause();
    void togglePause();
    void seek(double seconds);
    void setVolume(int percent);  // 0..100
    bool isPaused() const;
    bool isPlaying() const;
    double timePosition() const;
    double duration() const;
    int volume() const;

signals:
    void FSCommand(const QString& command, const QString& args);
    // The first frame of the current video has been drawn on screen (never with null output).
    void firstFrameShown();
    // The video could not be opened or ended with an error; the same line is shown in the
    // video area until the next LoadMovie.
    void mediaError(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;  // only while Menu is true

private:
    void startMedia(const QString& file, bool autostart);
    void stopMedia();
    void layoutChildren();
    void connectSession();
    void showProblem(const QString& text);

    int backgroundColor_ = -1;
    bool menu_ = true;
    QString flashVars_;
    std::optional<SwfHeader> movie_;
    QString movieError_;
    QString mediaFile_;
    QString problem_;
    PlaybackReporter reporter_;
    bool fileLoaded_ = false;
    bool firstFrameReported_ = false;
    std::unique_ptr<MpvSession> session_;
    VideoSurface* surface_ = nullptr;
    ControlBar* controlBar_ = nullptr;
};

}  // namespace zenvira::components
