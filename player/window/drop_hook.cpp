#include "player/window/drop_hook.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace zenvira::player {

namespace {

const QString kHookName = QStringLiteral("DropWndProc");

DropWndProc* hookOf(const QWidget* window) {
    return window ? window->findChild<DropWndProc*>(kHookName, Qt::FindDirectChildrenOnly) : nullptr;
}

}  // namespace

DropWndProc::DropWndProc(QWidget* window, DroppedFileHandler onDrop) : QObject(window), onDrop_(std::move(onDrop)) {
    setObjectName(kHookName);
}

bool DropWndProc::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Drop) {
        // A copy: the play request may unhook the window, which deletes this object.
        const DroppedFileHandler onDrop = onDrop_;
        TakeDroppedFile(static_cast<QDropEvent*>(event)->mimeData(), onDrop);
    }
    return QObject::eventFilter(watched, event);
}

void EnableFileDrop(QWidget* window, DroppedFileHandler onDrop) {
    if (!window) return;
    window->setAcceptDrops(true);
    HookWindow(window, std::move(onDrop));
}

void DisableFileDrop(QWidget* window) {
    if (!window) return;
    window->setAcceptDrops(false);
    UnhookWindow(window);
}

void HookWindow(QWidget* window, DroppedFileHandler onDrop) {
    if (!window) return;
    if (DropWndProc* hook = hookOf(window)) {
        hook->setHandler(std::move(onDrop));
        return;
    }
    window->installEventFilter(new DropWndProc(window, std::move(onDrop)));
}

void UnhookWindow(QWidget* window) {
    DropWndProc* hook = hookOf(window);
    if (!hook) return;
    window->removeEventFilter(hook);
    hook->deleteLater();
    hook->setObjectName(QString());  // gone for hookOf at once, deleted once the event is done
}

bool isHooked(const QWidget* window) { return hookOf(window) != nullptr; }

bool acceptsDroppedFiles(const QMimeData* data) { return !firstDroppedFile(data).empty(); }

std::string firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return QDir::toNativeSeparators(url.toLocalFile()).toStdString();
    }
    return {};
}

void TakeDroppedFile(const QMimeData* data, const DroppedFileHandler& onDrop) {
    const std::string path = firstDroppedFile(data);
    if (!path.empty() && onDrop) onDrop(path);
}

}  // namespace zenvira::player
