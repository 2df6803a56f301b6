#pragma once
// Files dragged from the desktop onto a window are played. EnableFileDrop makes the window
// accept drops and hooks it: an event filter, standing in for a replaced window procedure,
// picks out the drop, hands the first dropped file to the window's handler, and passes every
// event, the drop included, on to the window unchanged. The window's own drag handlers accept
// a drag that carries files (acceptsDroppedFiles), as a window that accepts files does.
#include <QObject>
#include <functional>
#include <string>

class QMimeData;
class QWidget;

namespace zenvira::player {

// Receives the whole path of a dropped file, in UTF-8, with the system's separators.
using DroppedFileHandler = std::function<void(const std::string& path)>;

// The window accepts drops, then HookWindow.
void EnableFileDrop(QWidget* window, DroppedFileHandler onDrop);
// The window refuses drops, then UnhookWindow.
void DisableFileDrop(QWidget* window);

// Installs the hook on the window. A window already hooked keeps its one hook and only takes
// the new handler: enabling twice never chains the hook to itself.
void HookWindow(QWidget* window, DroppedFileHandler onDrop);
// Removes the window's hook; nothing happens for a window without one.
void UnhookWindow(QWidget* window);
bool isHooked(const QWidget* window);

// A drag the window accepts: it carries at least one local file.
bool acceptsDroppedFiles(const QMimeData* data);
// The first local file of a drop, in the order the desktop gives them; empty when none.
std::string firstDroppedFile(const QMimeData* data);
// Plays the first dropped file through the handler; a drop without a file does nothing.
void TakeDroppedFile(const QMimeData* data, const DroppedFileHandler& onDrop);

// The hook itself, a child of the hooked window.
class DropWndProc : public QObject {
    Q_OBJECT
public:
    DropWndProc(QWidget* window, DroppedFileHandler onDrop);
    void setHandler(DroppedFileHandler onDrop) { onDrop_ = std::move(onDrop); }

protected:
    // The drop's file is played first, inside this call; the event then goes on to the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DroppedFileHandler onDrop_;
};

}  // namespace zenvira::player
