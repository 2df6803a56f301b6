#include "app/gui/queue_watch.h"

#include <QTimer>
#include <algorithm>

#include "queue/held_entries.h"
#include "queue/queue_store.h"

namespace zenvira::gui {

namespace {

constexpr int kLookMilliseconds = 1000;

queue::EntryId newestOf(const std::vector<queue::Entry>& entries) {
    queue::EntryId newest = 0;
    for (const auto& entry : entries) newest = std::max(newest, entry.id);
    return newest;
}

}  // namespace

QueueWatch::QueueWatch(const std::string& queuePath, std::function<void()> onAddition, QObject* parent)
    : QObject(parent), queuePath_(queuePath), onAddition_(std::move(onAddition)), timer_(new QTimer(this)) {
    auto opened = queue::QueueStore::open(queuePath);
    store_ = std::move(opened.store);
    if (!store_) return;
    version_ = store_->dataVersion();
    newest_ = newestOf(store_->list());
    connect(timer_, &QTimer::timeout, this, &QueueWatch::look);
    timer_->start(kLookMilliseconds);
}

QueueWatch::~QueueWatch() = default;

void QueueWatch::look() {
    if (!store_) return;
    const std::int64_t version = store_->dataVersion();
    if (version == version_) return;  // nobody else wrote: the cheap answer of most looks
    version_ = version;
    // New entries this process's own batch holds are not from outside: the main window shows them.
    const std::vector<queue::EntryId> held = queue::heldEntries(queuePath_);
    bool fromOutside = false;
    queue::EntryId newest = newest_;
    for (const auto& entry : store_->list()) {
        if (entry.id <= newest_) continue;
        newest = std::max(newest, entry.id);
        fromOutside = fromOutside || std::find(held.begin(), held.end(), entry.id) == held.end();
    }
    newest_ = newest;
    if (fromOutside && onAddition_) onAddition_();
}

std::unique_ptr<QueueWatch> watchQueueForDownloads(const std::string& queuePath, std::function<bool()> downloadsShown,
                                                   std::function<void()> showDownloads) {
    return std::make_unique<QueueWatch>(
        queuePath, [downloadsShown = std::move(downloadsShown), showDownloads = std::move(showDownloads)] {
            if (showDownloads && !(downloadsShown && downloadsShown())) showDownloads();
        });
}

}  // namespace zenvira::gui
