#include "ui/fixed_size_window.h"

#include <QEvent>

#include "ui/qt_text.h"
#include "ui/screen_twips.h"
#include "ui/skin_apply.h"
#include "ui/skin_file.h"

namespace zenvira::ui {

namespace {

constexpr Qt::WindowStates kRefusedStates = Qt::WindowMaximized | Qt::WindowFullScreen;

}  // namespace

FixedSizeWindow::FixedSizeWindow(const FixedWindowTwips& size, std::optional<TwipsPerPixel> factor, QWidget* parent)
    : QWidget(parent), size_(size), twipsPerPixel_(factor.value_or(screenTwipsPerPixel())) {
    setAttribute(Qt::WA_StyledBackground);  // lets a skin paint the window background
    // A fixed-size window: no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void FixedSizeWindow::placeControl(QWidget* control, const ControlEntry& entry) {
    control->setObjectName(qs(entry.name));
    const PixelRect r = twipsToPixels(entry.place, twipsPerPixel_);
    control->setGeometry(r.x, r.y, r.width, r.height);
}

void FixedSizeWindow::wearApplicationSkin(const QString& applicationFolder) {
    const SkinLoad load = loadApplicationSkin(applicationFolder);
    skinApplied_ = load.skin.has_value();
    skinError_ = load.error;
    if (load.skin) applySkin(*this, *load.skin);
}

QSize FixedSizeWindow::fixedClientSize() const {
    const bool frameKnown = isVisible() && !isMinimized();
    const QSize extra = frameKnown ? frameGeometry().size() - geometry().size() : QSize();
    const PixelSize client = ui::fixedClientSize(size_, twipsPerPixel_, {extra.width(), extra.height()});
    return {client.width, client.height};
}

void FixedSizeWindow::Form_Resize() {
    if (isMinimized()) return;
    if (windowState() & kRefusedStates) setWindowState(windowState() & ~kRefusedStates);
    enforceFixedSize();
}

void FixedSizeWindow::enforceFixedSize() {
    const QSize wanted = fixedClientSize();
    if (minimumSize() != wanted || maximumSize() != wanted) setFixedSize(wanted);
    if (size() != wanted) resize(wanted);
    placeEdgeControls();
}

void FixedSizeWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FixedSizeWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

// The frame is known only once the window system has put the window on the screen.
void FixedSizeWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}

void FixedSizeWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Form_Resize();
}

}  // namespace zenvira::ui
