#include "ui/flash_player/video_surface.h"

#include "ui/flash_player/mpv_library.h"

#include <QMetaObject>
#include <QOpenGLContext>

namespace zenvira::components {
namespace {

void* procAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

VideoSurface::VideoSurface(mpv_handle* player, QWidget* parent) : QOpenGLWidget(parent), player_(player) {
    std::string unloaded;
    mpv_ = mpvLibrary(unloaded);  // loaded already: the player's session needed it
    if (!mpv_) player_ = nullptr;
}

VideoSurface::~VideoSurface() {
    makeCurrent();
    freeContext();
    doneCurrent();
}

void VideoSurface::freeContext() {
    if (!context_) return;
    mpv_->render_context_set_update_callback(context_, nullptr, nullptr);
    mpv_->render_context_free(context_);
    context_ = nullptr;
}

void VideoSurface::initializeGL() {
    if (context_ || !player_) return;
    mpv_opengl_init_params glInit{procAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    // No advanced control: rendering shares the UI thread with the player's other calls,
    // which must then never wait on the core (the session's calls are asynchronous).
    const bool ok = mpv_->render_context_create(&context_, player_, params) >= 0;
    if (!ok) context_ = nullptr;
    if (ok) {
        mpv_->render_context_set_update_callback(
            context_,
            [](void* self) {
                QMetaObject::invokeMethod(static_cast<VideoSurface*>(self), &VideoSurface::requestUpdate,
                                          Qt::QueuedConnection);
            },
            this);
        // A widget that moves to another window gets a new OpenGL context; the render
        // context belongs to the old one and must go with it.
        connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
            makeCurrent();
            freeContext();
            doneCurrent();
        });
    }
    emit renderReady(ok);
}

void VideoSurface::requestUpdate() {
    if (!context_) return;
    if (mpv_->render_context_update(context_) & MPV_RENDER_UPDATE_FRAME) {
        frameWaiting_ = true;
        update();
    }
}

void VideoSurface::paintGL() {
    if (!context_) return;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()), static_cast<int>(width() * ratio),
                       static_cast<int>(height() * ratio), 0};
    int flipY = 1;
    int blockForTargetTime = 0;  // never hold the UI thread until a frame is due
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_->render_context_render(context_, params);
    if (frameWaiting_) {
        frameWaiting_ = false;
        emit frameDrawn();
    }
}

}  // namespace zenvira::components
