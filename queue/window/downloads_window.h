#pragma once
// The Downloads window: the queue with a row per entry (title, size, a progress bar, speed,
// remaining time, state), buttons and a context menu for pause, resume, remove (with or
// without the partial file), retry, move up and down, open and show in folder, several rows
// at once; links dropped on it or typed in its address line added, or every video of a page.
// While it is open this process is the queue's runner, unless another process already is; it
// shows what that one writes.
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/served_downloads.h"
#include "engine/transfer/cancel_token.h"
#include "engine/transfer/progress_meter.h"
#include "queue/queue_entry.h"
#include "queue/queue_runner.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTimer;

namespace zenvira::queue {

class QueueStore;

// One row as the window shows it.
struct DownloadRow {
    QString title, size, speed, remaining, state;
    int percent = -1;  // -1: unknown (busy bar)
};
DownloadRow downloadRowOf(const Entry& entry, const components::DownloadProgress* figures);

struct DownloadsWindowSetup {
    std::string queuePath;  // empty: the user's queue
    bool runQueue = true;   // be the runner (tests of the list alone say no)
    RunnerSettings runner;
    // Play: opens the player on an address or a file. Set, the entries this window runs are
    // served as local streams while they come, and Play plays a running entry from its
    // stream, a saved one from its file.
    std::function<void(const std::string& addressOrFile)> play;
};

class DownloadsWindow : public QWidget {
    Q_OBJECT
public:
    explicit DownloadsWindow(DownloadsWindowSetup setup, QWidget* parent = nullptr);
    ~DownloadsWindow() override;

    // Reads the queue again and redraws the rows (a timer does it twice a second).
    void refresh();
    // The ids of the selected rows, in the list's order.
    std::vector<EntryId> selectedIds() const;
    // Adds the links (one a line), as a drop does.
    void addLinks(const QString& text);
    QTreeWidget* list() const { return list_; }
    const QString& problem() const { return problem_; }  // why the queue cannot be shown, or empty
    QString notice() const;  // what the last addition or removal could not do, or empty

    void pauseSelected();
    void resumeSelected();
    void removeSelected();
    void removeSelectedWithPartialFiles();
    void moveSelectedUp();
    void moveSelectedDown();
    void retrySelected();
    void openSelected();
    void showSelectedInFolder();
    // The first selected entry, from its local stream while it runs, else its saved file.
    void playSelected();
    // The address line: its link added; or the page read (on a worker thread) and each of
    // its videos added. `whenAdded` hears the end of the read (tests wait for it).
    void addTypedAddress();
    void addAllOfTypedPage(std::function<void()> whenAdded = {});
    QLineEdit* addressLine() const { return address_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showMenu(const QPoint& at);
    void stopRunner();
    void moveSelected(int steps);

    DownloadsWindowSetup setup_;
    std::unique_ptr<QueueStore> store_;
    QString problem_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* addAll_ = nullptr;
    std::vector<std::thread> pageReads_;  // joined when the window goes
    std::shared_ptr<components::CancelToken> readsCancel_;
    QTimer* timer_ = nullptr;
    std::vector<QPushButton*> buttons_;
    // Declared before the runner, whose jobs it serves.
    std::unique_ptr<app::ServedDownloads> served_;
    std::unique_ptr<QueueRunner> runner_;
    std::thread runnerThread_;
    std::mutex figuresMutex_;
    std::map<EntryId, components::DownloadProgress> figures_;  // of the running entries
};

}  // namespace zenvira::queue
