#pragma once
// The base of the converter's and the main window's kind of window: laid out in twips at one
// fixed size, no maximize box, wearing the application's skin. Whatever the user or the window
// system does to the size, the window takes its own size back; only a minimized window is left
// as it is, and maximizing is refused the same way.
#include <QSize>
#include <QString>
#include <QWidget>
#include <optional>

#include "ui/control_table.h"
#include "ui/twips.h"
#include "ui/window_size.h"

namespace zenvira::ui {

class FixedSizeWindow : public QWidget {
    Q_OBJECT
public:
    // The client size the window keeps, from the frame the window system gives it.
    QSize fixedClientSize() const;
    TwipsPerPixel twipsPerPixel() const { return twipsPerPixel_; }
    bool skinApplied() const { return skinApplied_; }
    const QString& skinError() const { return skinError_; }  // why the plain look was kept

protected:
    // factor absent: the screen's.
    FixedSizeWindow(const FixedWindowTwips& size, std::optional<TwipsPerPixel> factor, QWidget* parent);

    // Puts a control at its entry's place, named after it (the name becomes the objectName).
    void placeControl(QWidget* control, const ControlEntry& entry);
    // The application's skin (under applicationFolder) on this window; the plain look when
    // it cannot be read, with the reason in skinError().
    void wearApplicationSkin(const QString& applicationFolder);

    // The derived window calls it once its controls are built, and every size event does.
    void enforceFixedSize();
    void Form_Resize();
    // Controls placed against the client area's edges rather than at a fixed place move here.
    virtual void placeEdgeControls() {}

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    FixedWindowTwips size_;
    TwipsPerPixel twipsPerPixel_;
    bool skinApplied_ = false;
    QString skinError_;
};

}  // namespace zenvira::ui
