#pragma once
// Where the video is drawn: an OpenGL widget with a libmpv render context. The context is
// made when the widget first gets OpenGL (when it is shown); `ready` says so, and until then
// the player must not open a video, or libmpv would find no place for its pictures.
#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace zenvira::components {

struct MpvLibrary;

class VideoSurface : public QOpenGLWidget {
    Q_OBJECT

public:
    VideoSurface(mpv_handle* player, QWidget* parent);
    ~VideoSurface() override;

    bool ready() const { return context_ != nullptr; }

signals:
    void renderReady(bool ok);  // the render context was made (or could not be)
    void frameDrawn();          // a new video frame went to the screen

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void requestUpdate();
    void freeContext();

    const MpvLibrary* mpv_ = nullptr;
    mpv_handle* player_;
    mpv_render_context* context_ = nullptr;
    bool frameWaiting_ = false;
};

}  // namespace zenvira::components
