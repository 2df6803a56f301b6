#include "player/window/Form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTime>
#include <QKeySequence>
#include <QShortcut>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <system_error>

#include "components/file_dialog/file_dialog.h"
#include "ui/flash_player/flash_player_control.h"
#include "platform/temp_folder.h"
#include "player/association/register_file_type.h"
#include "player/movie/custom_resource.h"
#include "player/window/button_images.h"
#include "player/window/command_argument.h"
#include "player/window/drop_hook.h"
#include "player/window/movie_file.h"
#include "player/window/picture_box.h"
#include "ui/qt_text.h"
#include "ui/screen_twips.h"

namespace zenvira::player {

namespace {

using components::FlashPlayerControl;

const QColor kBarColour(0x1a, 0x1b, 0x1d);
const QColor kDragpicColour(0x12, 0x12, 0x12);

// Design places in twips: Left, Top, Width, Height.
constexpr TwipsRect kPicture3{-240, 4080, 6495, kBarHeight};
constexpr TwipsRect kOpenFile{360, 120, 1260, 300};
constexpr TwipsRect kFullscreen{3120, 120, 1260, 300};
constexpr TwipsRect kRestorepic{0, 50, 1275, 320};
constexpr TwipsRect kDragpic{-120, 1080, 6375, 1335};
constexpr int kTimerInterval = 50;  // ms

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
}

void removeFile(const std::string& path) {
    std::error_code ec;  // a copy that cannot be deleted stays behind in the temporary folder
    std::filesystem::remove(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
}

// Files are taken, anything else is refused, at every step of a drag.
void answerFileDrag(QDropEvent* event) {
    if (acceptsDroppedFiles(event->mimeData())) event->acceptProposedAction();
    else event->ignore();
}

std::uint32_t secondsSinceMidnight() {
    return static_cast<std::uint32_t>(QTime::currentTime().msecsSinceStartOfDay() / 1000);
}

}  // namespace

Form1::Form1(std::string argumentText, Form1Setup setup, QWidget* parent)
    : QWidget(parent), tpp_(setup.twipsPerPixel.value_or(ui::screenTwipsPerPixel())) {
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("ZENVIRA FLV PLAYER"));
    exe_ = setup.executablePath.empty()
               ? QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdString()
               : setup.executablePath;
    buildControls();
    Form_Load(argumentText, setup);
}

Form1::~Form1() { Form_Unload(); }

// --- controls ---------------------------------------------------------------------------

void Form1::buildControls() {
    Picture3 = new PictureBox(QStringLiteral("Picture3"), kBarColour, this);
    OpenFile = new PictureBox(QStringLiteral("OpenFile"), kBarColour, Picture3);
    OpenFile->setPicture(openButtonImage());
    OpenFile->setToolTip(QStringLiteral("Open an FLV video"));
    fullscreen = new PictureBox(QStringLiteral("fullscreen"), kBarColour, Picture3);
    fullscreen->setPicture(fullScreenButtonImage());
    fullscreen->setToolTip(QStringLiteral("Full screen"));
    fullscreen->hide();
    restorepic = new PictureBox(QStringLiteral("restorepic"), Qt::black, this);
    restorepic->setPicture(restoreButtonImage());
    restorepic->setToolTip(QStringLiteral("Back to the window"));
    restorepic->hide();
    dragpic = new PictureBox(QStringLiteral("dragpic"), kDragpicColour, this);

    place(Picture3, kPicture3);
    place(OpenFile, kOpenFile);
    place(fullscreen, kFullscreen);
    place(restorepic, kRestorepic);
    place(dragpic, kDragpic);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    Timer1->setTimerType(Qt::CoarseTimer);

    connect(OpenFile, &PictureBox::clicked, this, &Form1::OpenFile_Click);
    connect(fullscreen, &PictureBox::clicked, this, &Form1::fullscreen_Click);
    connect(restorepic, &PictureBox::clicked, this, &Form1::restorepic_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    // Esc leaves full screen, whichever control has the focus.
    auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leave->setContext(Qt::WindowShortcut);
    connect(leave, &QShortcut::activated, this, [this] {
        if (fullScreenLayout_) restorepic_Click();
    });
    // F11 goes into full screen and out again.
    auto* toggle = new QShortcut(QKeySequence(Qt::Key_F11), this);
    toggle->setContext(Qt::WindowShortcut);
    connect(toggle, &QShortcut::activated, this, [this] {
        if (fullScreenLayout_)
            restorepic_Click();
        else
            fullscreen_Click();
    });
}

void Form1::place(QWidget* control, const TwipsRect& rect) {
    const ui::PixelRect r = twipsToPixels(rect, tpp_);
    control->setGeometry(r.x, r.y, r.width, r.height);
}

TwipsSize Form1::windowSize() const {
    const QSize outer = frameGeometry().size();
    return {pixelsToTwips(outer.width(), tpp_.x), pixelsToTwips(outer.height(), tpp_.y)};
}

TwipsSize Form1::layoutSize() const {
    return {windowSize().width, pixelsToTwips(height(), tpp_.y)};
}

void Form1::setWindowSize(TwipsSize size) {
    // The frame is known only once the window system has framed the window; until then the
    // outer size is the inner one.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(std::max(1, twipsToPixels(size.width, tpp_.x) - frame.width()),
           std::max(1, twipsToPixels(size.height, tpp_.y) - frame.height()));
}

// The default size is an outer size: a window not yet framed by the window system gets it
// again once its frame is known.
void Form1::setDefaultSize() {
    setWindowSize(defaultWindowSize(tpp_));
    defaultSizeAwaitsFrame_ = frameGeometry().size() == geometry().size();
}

int Form1::frameWidth() const { return windowSize().width - pixelsToTwips(width(), tpp_.x); }

// --- load and unload --------------------------------------------------------------------

void Form1::loadStep(const char* name, bool done) {
    if (!done) skippedLoadSteps_.emplace_back(name);
}

// A step that fails is skipped and the next one runs; nothing is shown.
void Form1::Form_Load(const std::string& argumentText, const Form1Setup& setup) {
    const auto step = [this](const char* name, auto&& body) {
        try {
            loadStep(name, body());
        } catch (const std::exception&) {
            loadStep(name, false);
        }
    };
    step("RegisterFileType", [&] {
        bool allDone = true;
        for (const AssociationStepResult& result : RegisterFileType(".flv", "image", exe_)) allDone &= result.done;
        return allDone;
    });
    step("default size", [&] {
        setDefaultSize();
        return true;
    });
    step("background", [&] {
        QPalette black = palette();
        black.setColor(QPalette::Window, Qt::black);
        setPalette(black);
        setAutoFillBackground(true);
        return true;
    });
    step("EnableFileDrop", [&] {
        EnableFileDrop(this, [this](const std::string& path) { GotADrop(path); });
        return true;
    });
    std::string folder;
    step("temporary folder", [&] {
        folder = setup.temporaryFolder.empty() ? platform::temporaryFolder() : setup.temporaryFolder;
        return !folder.empty();
    });
    step("moviefile", [&] {
        if (folder.empty()) return false;
        moviefile_ = chooseMovieFile(folder, setup.movieNumber);
        return true;
    });
    step("extractress", [&] {
        std::string error;
        return !moviefile_.empty() && extractress(kPlayerMovieResource, moviefile_, error);
    });
    step("Flash instance", [&] {
        createIdleInstance();
        return true;
    });
    step("dragpic", [&] {
        place(dragpic, dragpicAtLoad(layoutSize()));
        return true;
    });
    step("command line", [&] {
        const std::string file = CommandArgument(argumentText, "");
        if (!file.empty()) GotADrop(file);
        return true;
    });
    Timer1->start();
}

std::string Form1::chooseMovieFile(const std::string& folder, std::optional<int> number) const {
    if (number) return movieFilePath(folder, *number);
    // Another copy of the program may hold a copy under the same number: draw again.
    MovieNumberDraw draw(secondsSinceMidnight());
    std::string path = movieFilePath(folder, draw.next());
    for (int attempt = 0; attempt < 100 && fileExists(path); ++attempt) path = movieFilePath(folder, draw.next());
    return path;
}

bool Form1::extractress(int ress, const std::string& nom_fich, std::string& error) {
    return writeResourceFile(customResource(ress), nom_fich, error);
}

void Form1::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1->stop();
    DisableFileDrop(this);
    // The video stops with the window, before its movie goes.
    delete ctrl_;
    ctrl_ = nullptr;
    if (!moviefile_.empty()) removeFile(moviefile_);
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// --- the Flash instance -----------------------------------------------------------------

FlashPlayerControl* Form1::replaceFlashInstance() {
    // One instance named "flashplayer": the old one goes before the new one comes.
    for (FlashPlayerControl* old : findChildren<FlashPlayerControl*>(QString::fromLatin1(FlashPlayerControl::kObjectName),
                                                                      Qt::FindDirectChildrenOnly))
        delete old;
    ctrl_ = new FlashPlayerControl(this);
    connect(ctrl_, &FlashPlayerControl::FSCommand, this, &Form1::ctrl_FSCommand);
    return ctrl_;
}

void Form1::createIdleInstance() {
    FlashPlayerControl* instance = replaceFlashInstance();
    instance->setVisible(true);
    instance->setWidth(0);
    instance->setHeight(0);
    instance->LoadMovie(0, QString::fromStdString(moviefile_));
    instance->setBackgroundColor(0);
    instance->setMenu(false);
    keepControlsAboveVideo();
}

void Form1::GotADrop(const std::string& flvfile) {
    const std::string address = movieAddress(moviefile_, flvfile);
    FlashPlayerControl* instance = replaceFlashInstance();
    instance->setVisible(true);
    instance->setBackgroundColor(0);
    instance->setTop(twipsToPixels(kTopBand, tpp_.y));
    instance->setFlashVars(ui::qs(kAutostartFlashVars));
    instance->LoadMovie(0, QString::fromStdString(address));
    const VideoArea area = playVideoArea(layoutSize());
    sizeVideo(area.width, area.height);
    fullscreen->show();
    setDefaultSize();
    dragpic->hide();
    keepControlsAboveVideo();
}

void Form1::ctrl_FSCommand(const QString& command, const QString&) {
    // The movie reports "play" and "pause"; the window shows nothing for them.
    lastFSCommand_ = command;
}

void Form1::placeVideo(const VideoArea& area) {
    if (!ctrl_) return;
    ctrl_->setTop(twipsToPixels(area.top, tpp_.y));
    sizeVideo(area.width, area.height);
}

void Form1::sizeVideo(int width, int height) {
    if (!ctrl_) return;
    ctrl_->setWidth(std::max(0, twipsToPixels(width, tpp_.x)));
    ctrl_->setHeight(std::max(0, twipsToPixels(height, tpp_.y)));
}

// The instance is added last, so it would cover the bar, the restore button and, before the
// first play, dragpic.
void Form1::keepControlsAboveVideo() {
    if (dragpic->isVisibleTo(this)) dragpic->raise();
    Picture3->raise();
    restorepic->raise();
}

// --- layout -----------------------------------------------------------------------------

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    if (layoutBusy_) return;
    layoutBusy_ = true;
    const TwipsSize size = layoutSize();
    place(Picture3, {kPicture3.left, barTop(size), kPicture3.width, kBarHeight});
    if (fullScreenLayout_) {
        sizeVideo(size.width, size.height);
        place(restorepic, {size.width - kRestoreFromRight, kRestorepic.top, kRestorepic.width, kRestorepic.height});
    } else {
        const VideoArea area = normalVideoArea(size);
        sizeVideo(area.width, area.height);
    }
    layoutBusy_ = false;
    followMaximisedState();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) followMaximisedState();
}

// A maximised window takes the full-screen layout; leaving the maximised state leaves it.
// Taken after the current event, as both change the layout that the event is still placing.
void Form1::followMaximisedState() {
    QTimer::singleShot(0, this, [this] {
        if (isMaximized() && !fullScreenLayout_) fullscreen_Click();
        else if (!isMaximized() && fullScreenWhileMaximised_) restorepic_Click();
    });
}

void Form1::fullscreen_Click() {
    // A maximised window stays as the window system made it; its normal size is the one to
    // come back to.
    const bool maximised = isMaximized();
    const QSize frame = frameGeometry().size() - geometry().size();
    const TwipsSize before = maximised ? TwipsSize{pixelsToTwips(normalGeometry().width() + frame.width(), tpp_.x),
                                                   pixelsToTwips(normalGeometry().height() + frame.height(), tpp_.y)}
                                       : windowSize();
    savedWidth_ = before.width;
    savedHeight_ = before.height;
    TwipsSize size = windowSize();
    if (!maximised) {
        const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
        const QRect screenRect = display ? display->geometry() : QRect(0, 0, 640, 480);
        const FullScreenLayout layout =
            fullScreenLayout(screenRect.width() * tpp_.x, screenRect.height() * tpp_.y, tpp_);
        move(screenRect.topLeft());
        setWindowSize(layout.window);
        size = layout.window;
    }
    fullScreenLayout_ = true;
    fullScreenWhileMaximised_ = maximised;
    Picture3->hide();
    placeVideo({0, size.width, size.height});
    place(restorepic, {size.width - kRestoreFromRight, kRestorepic.top, kRestorepic.width, kRestorepic.height});
    restorepic->show();
    restorepic->raise();
}

void Form1::restorepic_Click() {
    const RestoreLayout layout = restoreLayout({savedWidth_, savedHeight_});
    fullScreenLayout_ = false;
    fullScreenWhileMaximised_ = false;
    if (isMaximized()) showNormal();  // the window system brings back the saved size
    else setWindowSize(layout.window);
    sizeVideo(layout.video.width, layout.video.height);
    Picture3->show();
    placeVideo(layout.video);
    restorepic->hide();
}

void Form1::Timer1_Timer() {
    if (isMinimized()) return;
    if (defaultSizeAwaitsFrame_ && windowState() == Qt::WindowNoState && frameGeometry().size() != geometry().size())
        setDefaultSize();
    const TwipsSize size = windowSize();
    const MinimumSizeTick tick = minimumSizeTick(size, frameWidth(), tpp_);
    if (tick.resizeTo && !(*tick.resizeTo == size)) setWindowSize(*tick.resizeTo);
    // Full screen keeps the video over the whole window; else it ends at the bottom bar.
    const TwipsSize now = layoutSize();
    if (fullScreenLayout_) {
        sizeVideo(now.width, now.height);
    } else {
        const VideoArea area = normalVideoArea(now);
        sizeVideo(area.width, area.height);
    }
}

// --- drops and the Open button ----------------------------------------------------------

void Form1::dragEnterEvent(QDragEnterEvent* event) { answerFileDrag(event); }

void Form1::dragMoveEvent(QDragMoveEvent* event) { answerFileDrag(event); }

// The hook has played the file by the time the drop reaches the window.
void Form1::dropEvent(QDropEvent* event) { answerFileDrag(event); }

void Form1::OpenFile_Click() {
    components::OpenFileDialogRequest request;
    request.defaultExtension = "flv";
    request.filter = "Flash video file (*.flv)|*.flv";
    request.moreFilter = components::kMediaFilesFilter;
    request.fileName.clear();  // each dialog starts without a name
    const std::string chosen = components::showOpenFileDialog(request);
    if (!chosen.empty()) GotADrop(chosen);
}

}  // namespace zenvira::player
