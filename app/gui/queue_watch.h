#pragma once
// Opens the Downloads window when another process (`zenvira-cli queue add`, the browser's
// native host) adds an entry to the queue while this program runs with the window closed.
// Once a second it asks the store whether any other connection changed the file; only a new
// entry counts, so the window stays closed while its runner or another one pauses, resumes or
// finishes what is there.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "queue/queue_entry.h"

class QTimer;

namespace zenvira::queue {
class QueueStore;
}

namespace zenvira::gui {

class QueueWatch : public QObject {
    Q_OBJECT
public:
    // `queuePath`: the store to watch (opened now; nothing is watched when it cannot be);
    // `onAddition` is called on the UI thread for each look that found new entries (those this
    // process's batch holds are its own, not new from outside).
    QueueWatch(const std::string& queuePath, std::function<void()> onAddition, QObject* parent = nullptr);
    ~QueueWatch() override;

    bool watching() const { return store_ != nullptr; }
    // One look, as the timer takes it.
    void look();

private:
    std::string queuePath_;
    std::unique_ptr<queue::QueueStore> store_;
    std::function<void()> onAddition_;
    QTimer* timer_ = nullptr;
    std::int64_t version_ = 0;
    queue::EntryId newest_ = 0;
};

// The GUI's wiring: new entries from outside show the Downloads window unless it is open.
std::unique_ptr<QueueWatch> watchQueueForDownloads(const std::string& queuePath, std::function<bool()> downloadsShown,
                                                   std::function<void()> showDownloads);

}  // namespace zenvira::gui
