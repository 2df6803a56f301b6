#include "ui/flash_player/flash_player_control.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QFileInfo>
#include <QPainter>

#include "ui/flash_player/control_bar.h"
#include "ui/flash_player/control_bar_layout.h"
#include "ui/flash_player/movie_address.h"
#include "ui/flash_player/mpv_session.h"
#include "ui/flash_player/video_surface.h"

namespace zenvira::components {
namespace {

// Null output when asked for; no video where Qt has no OpenGL (offscreen, minimal).
MpvOutput outputForThisMachine() {
    const QByteArray nullOutput = qgetenv("ZENVIRA_MPV_NULL");
    if (!nullOutput.isEmpty() && nullOutput != "0") return MpvOutput::Null;
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") return MpvOutput::NoVideo;
    return MpvOutput::Rendered;
}

}  // namespace

FlashPlayerControl::FlashPlayerControl(QWidget* parent)
    : QWidget(parent), reporter_([this](const std::string& command) {
          emit FSCommand(QString::fromStdString(command), QString());
      }) {
    setObjectName(kObjectName);
    setAttribute(Qt::WA_OpaquePaintEvent);
    controlBar_ = new ControlBar(this);
    connect(controlBar_, &ControlBar::playPauseClicked, this, &FlashPlayerControl::togglePause);
    connect(controlBar_, &ControlBar::seekRequested, this, [this](double fraction) { seek(fraction * duration()); });
    connect(controlBar_, &ControlBar::volumeRequested, this, &FlashPlayerControl::setVolume);
    layoutChildren();
}

FlashPlayerControl::~FlashPlayerControl() { stopMedia(); }

void FlashPlayerControl::setTop(int top) { move(x(), top); }
void FlashPlayerControl::setWidth(int width) { resize(width, height()); }
void FlashPlayerControl::setHeight(int height) { resize(width(), height); }

void FlashPlayerControl::setBackgroundColor(int rgb) {
    backgroundColor_ = rgb;
    if (session_) session_->setBackground(rgb);
    update();
}

QSize FlashPlayerControl::sizeHint() const {
    if (movie_) return {movie_->stageWidthPixels(), movie_->stageHeightPixels()};
    return {320, 260};
}

void FlashPlayerControl::LoadMovie(int layer, const QString& address) {
    if (layer != 0) return;  // only the base layer holds the player; others are not used
    stopMedia();
    movie_.reset();
    mediaFile_.clear();
    problem_.clear();
    update();
    const MovieAddress parts = splitMovieAddress(address.toStdString());
    SwfReadResult read = readSwfFile(parts.moviePath);
    if (auto* error = std::get_if<std::string>(&read)) {
        movieError_ = QString::fromStdString(*error);
        if (parts.query.find("file=") != std::string::npos)
            showProblem(tr("The player cannot start: %1").arg(movieError_));
        return;
    }
    movieError_.clear();
    movie_ = std::get<SwfHeader>(read);
    updateGeometry();
    const auto file = videoFileOf(parts.query, [](const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).isFile();
    });
    if (!file || file->empty()) return;
    mediaFile_ = QString::fromStdString(*file);
    // A download served while it comes (the local stream) is played from its address.
    if (mediaFile_.startsWith(QLatin1String("http://127.0.0.1:"))) {
        startMedia(mediaFile_, autostartRequested(flashVars_.toStdString()));
        return;
    }
    const QFileInfo media(mediaFile_);
    if (!media.isFile()) {
        showProblem(tr("Cannot play %1: %2").arg(media.fileName().isEmpty() ? mediaFile_ : media.fileName(),
                                                 media.exists() ? tr("it is not a file") : tr("there is no such file")));
        return;
    }
    startMedia(mediaFile_, autostartRequested(flashVars_.toStdString()));
}

void FlashPlayerControl::startMedia(const QString& file, bool autostart) {
    session_ = std::make_unique<MpvSession>(outputForThisMachine());
    if (!session_->valid()) {
        const QString reason = session_->startError();
        session_.reset();
        showProblem(reason.isEmpty() ? tr("The video player could not be started.") : reason);
        return;
    }
    session_->setBackground(backgroundColor_);
    connectSession();
    reporter_.mediaStarted();
    fileLoaded_ = false;
    controlBar_->setPaused(!autostart);
    if (session_->output() != MpvOutput::Rendered) {
        session_->loadFile(file, !autostart);
        return;
    }
    // libmpv needs the render context before it opens the video, and that needs OpenGL,
    // which the surface gets once it is shown.
    surface_ = new VideoSurface(session_->handle(), this);
    connect(surface_, &VideoSurface::renderReady, this, [this, file, autostart](bool ok) {
        // Without a render context the video stays dark, but sound and the controls work.
        if (!ok) showProblem(tr("The video cannot be shown: OpenGL is not available."));
        if (session_) session_->loadFile(file, !autostart);
    }, Qt::SingleShotConnection);  // a later OpenGL context (new window) does not reopen it
    connect(surface_, &VideoSurface::frameDrawn, this, [this] {
        if (fileLoaded_ && !firstFrameReported_) {
            firstFrameReported_ = true;
            emit firstFrameShown();
        }
    });
    firstFrameReported_ = false;
    layoutChildren();
    surface_->show();
    controlBar_->raise();
}

void FlashPlayerControl::connectSession() {
    MpvSession* session = session_.get();
    connect(session, &MpvSession::fileLoaded, this, [this] { fileLoaded_ = true; });
    connect(session, &MpvSession::playbackRestarted, this, [this] { reporter_.playbackReady(); });
    connect(session, &MpvSession::pausedChanged, this, [this](bool paused) {
        controlBar_->setPaused(paused);
        reporter_.pauseChanged(paused);
    });
    connect(session, &MpvSession::timePositionChanged, controlBar_, &ControlBar::setPosition);
    connect(session, &MpvSession::durationChanged, controlBar_, &ControlBar::setDuration);
    connect(session, &MpvSession::volumeChanged, controlBar_, &ControlBar::setVolume);
    connect(session, &MpvSession::fileEnded, this, [this](const QString& error) {
        reporter_.mediaEnded();
        if (!error.isEmpty()) showProblem(tr("Cannot play %1: %2").arg(QFileInfo(mediaFile_).fileName(), error));
    });
}

void FlashPlayerControl::stopMedia() {
    // The render context must go before the player it draws for.
    delete surface_;
    surface_ = nullptr;
    session_.reset();
    reporter_.mediaEnded();
    controlBar_->setPaused(true);
    controlBar_->setPosition(0);
    controlBar_->setDuration(0);
}

void FlashPlayerControl::play() {
    if (!session_) return;
    if (session_->endReached()) session_->seek(0);  // play at the end starts over
    session_->setPaused(false);
}

void FlashPlayerControl::pause() {
    if (session_) session_->setPaused(true);
}

void FlashPlayerControl::togglePause() {
    if (isPaused())
        play();
    else
        pause();
}

void FlashPlayerControl::seek(double seconds) {
    if (session_) session_->seek(seconds);
}

void FlashPlayerControl::setVolume(int percent) {
    if (session_) session_->setVolume(percent);
}

bool FlashPlayerControl::isPaused() const { return !session_ || session_->paused(); }
bool FlashPlayerControl::isPlaying() const { return reporter_.running(); }
double FlashPlayerControl::timePosition() const { return session_ ? session_->timePosition() : 0; }
double FlashPlayerControl::duration() const { return session_ ? session_->duration() : 0; }
int FlashPlayerControl::volume() const { return session_ ? session_->volume() : 100; }

void FlashPlayerControl::resizeEvent(QResizeEvent*) { layoutChildren(); }

void FlashPlayerControl::layoutChildren() {
    const int barHeight = std::min(kControlBarHeight, height());
    controlBar_->setGeometry(0, height() - barHeight, width(), barHeight);
    if (surface_) surface_->setGeometry(0, 0, width(), height() - barHeight);
}

// Said in the video area, where the user looks for the picture; the window shows no box.
void FlashPlayerControl::showProblem(const QString& text) {
    problem_ = text;
    if (surface_) surface_->hide();
    controlBar_->setPaused(true);  // nothing plays: the button offers Play
    update();
    emit mediaError(text);
}

void FlashPlayerControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_ < 0 ? QColor(Qt::black) : QColor::fromRgb(static_cast<QRgb>(backgroundColor_)));
    if (problem_.isEmpty()) return;
    const QRect area(8, 0, width() - 16, height() - controlBar_->height());
    painter.setPen(QColor(220, 220, 220));
    const QString line = painter.fontMetrics().elidedText(problem_, Qt::ElideMiddle, area.width());
    painter.drawText(area, Qt::AlignCenter, line);
}

void FlashPlayerControl::contextMenuEvent(QContextMenuEvent* event) {
    if (!menu_ || !session_) return;
    QMenu menu(this);
    menu.addAction(isPaused() ? tr("Play") : tr("Pause"), this, &FlashPlayerControl::togglePause);
    menu.addAction(tr("Rewind"), this, [this] { seek(0); });
    menu.exec(event->globalPos());
}

}  // namespace zenvira::components
