#include "queue/window/downloads_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "queue/page_entries.h"
#include "queue/partial_files.h"
#include "queue/queue_path.h"
#include "queue/queue_store.h"

namespace zenvira::queue {

namespace {

enum Column { TitleColumn, SizeColumn, ProgressColumn, SpeedColumn, RemainingColumn, StateColumn, ColumnCount };
constexpr int kIdRole = Qt::UserRole + 1;

QString bytesText(double bytes) {
    if (bytes >= 1024.0 * 1024 * 1024) return QString::number(bytes / (1024.0 * 1024 * 1024), 'f', 2) + " GB";
    if (bytes >= 1024.0 * 1024) return QString::number(bytes / (1024.0 * 1024), 'f', 1) + " MB";
    if (bytes >= 1024.0) return QString::number(bytes / 1024.0, 'f', 0) + " KB";
    return QString::number(static_cast<qint64>(bytes)) + " B";
}

QString durationText(double seconds) {
    const auto whole = static_cast<qint64>(seconds + 0.5);
    if (whole >= 3600) return QString("%1:%2:%3").arg(whole / 3600).arg(whole / 60 % 60, 2, 10, QChar('0')).arg(whole % 60, 2, 10, QChar('0'));
    return QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

}  // namespace

DownloadRow downloadRowOf(const Entry& entry, const components::DownloadProgress* figures) {
    DownloadRow row;
    row.title = QString::fromStdString(entry.title.empty() ? entry.address : entry.title);
    const std::int64_t received = figures ? figures->BytesDone : entry.received;
    const std::int64_t total = figures && figures->BytesTotal >= 0 ? figures->BytesTotal : entry.total;
    row.size = total >= 0 ? bytesText(static_cast<double>(total)) : QString();
    if (total > 0) row.percent = static_cast<int>(std::min<std::int64_t>(100, received * 100 / total));
    else if (entry.state == EntryState::Saved) row.percent = 100;
    else if (entry.state != EntryState::Running) row.percent = 0;
    const bool running = entry.state == EntryState::Running && figures;
    row.speed = running && figures->BytesPerSecond > 0 ? bytesText(figures->BytesPerSecond) + "/s" : QString();
    row.remaining = running && figures->RemainingSeconds > 0 ? durationText(figures->RemainingSeconds) : QString();
    row.state = QString::fromUtf8(stateName(entry.state).data(), static_cast<qsizetype>(stateName(entry.state).size()));
    row.state[0] = row.state[0].toUpper();
    if (!entry.reason.empty()) row.state += ": " + QString::fromStdString(entry.reason);
    return row;
}

DownloadsWindow::DownloadsWindow(DownloadsWindowSetup setup, QWidget* parent) : QWidget(parent), setup_(std::move(setup)) {
    setObjectName("frmDownloads");
    setWindowTitle(tr("Downloads"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    resize(820, 360);

    list_ = new QTreeWidget(this);
    list_->setObjectName("lstDownloads");
    list_->setAccessibleName(tr("Downloads"));
    list_->setColumnCount(ColumnCount);
    list_->setHeaderLabels({tr("Title"), tr("Size"), tr("Progress"), tr("Speed"), tr("Remaining"), tr("State")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->header()->setSectionResizeMode(TitleColumn, QHeaderView::Stretch);
    connect(list_, &QWidget::customContextMenuRequested, this, &DownloadsWindow::showMenu);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &DownloadsWindow::openSelected);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, void (DownloadsWindow::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        buttons_.push_back(b);
    };
    button("cmdPause", tr("Pause"), &DownloadsWindow::pauseSelected);
    button("cmdResume", tr("Resume"), &DownloadsWindow::resumeSelected);
    button("cmdRemove", tr("Remove"), &DownloadsWindow::removeSelected);
    button("cmdRemoveWithPart", tr("Remove with partial file"), &DownloadsWindow::removeSelectedWithPartialFiles);
    button("cmdRetry", tr("Retry"), &DownloadsWindow::retrySelected);
    button("cmdMoveUp", tr("Move up"), &DownloadsWindow::moveSelectedUp);
    button("cmdMoveDown", tr("Move down"), &DownloadsWindow::moveSelectedDown);
    button("cmdOpen", tr("Open"), &DownloadsWindow::openSelected);
    button("cmdShowInFolder", tr("Show in folder"), &DownloadsWindow::showSelectedInFolder);
    if (setup_.play) button("cmdPlay", tr("Play"), &DownloadsWindow::playSelected);
    buttons->addStretch();

    auto* adding = new QHBoxLayout;
    address_ = new QLineEdit(this);
    address_->setObjectName("txtAddress");
    address_->setPlaceholderText(tr("Address of a video, or of a page with several"));
    address_->setAccessibleName(tr("Address to add"));
    connect(address_, &QLineEdit::returnPressed, this, &DownloadsWindow::addTypedAddress);
    adding->addWidget(address_);
    auto* add = new QPushButton(tr("Add"), this);
    add->setObjectName("cmdAdd");
    connect(add, &QPushButton::clicked, this, &DownloadsWindow::addTypedAddress);
    adding->addWidget(add);
    buttons_.push_back(add);
    addAll_ = new QPushButton(tr("Add all to the queue"), this);
    addAll_->setObjectName("cmdAddAll");
    addAll_->setToolTip(tr("Every video of the page at the address"));
    connect(addAll_, &QPushButton::clicked, this, [this] { addAllOfTypedPage(); });
    adding->addWidget(addAll_);
    buttons_.push_back(addAll_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(adding);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    notice_ = new QLabel(this);
    notice_->setObjectName("lblNotice");
    layout->addWidget(notice_);

    const std::string path = defaultQueuePath(setup_.queuePath);
    setup_.queuePath = path;
    auto opened = QueueStore::open(path);
    store_ = std::move(opened.store);
    if (!store_) {
        problem_ = QString::fromStdString(opened.error);
        auto* said = new QLabel(problem_, this);
        said->setObjectName("lblProblem");
        said->setWordWrap(true);
        layout->insertWidget(0, said);
        for (auto* b : buttons_) b->setEnabled(false);
        return;
    }
    if (setup_.runQueue) {
        RunnerListener listener;
        listener.progress = [this](EntryId id, const std::string&, const components::DownloadProgress& figures) {
            std::lock_guard guard(figuresMutex_);
            figures_[id] = figures;
        };
        listener.ended = [this](const Entry& entry) {
            std::lock_guard guard(figuresMutex_);
            figures_.erase(entry.id);
        };
        setup_.runner.untilEmpty = false;
        if (setup_.play) {
            served_ = std::make_unique<app::ServedDownloads>();
            // Without the local server the entries download as ever, and Play plays saved files.
            std::string noServer;
            if (served_->start(noServer))
                setup_.runner.beforeJob = [served = served_.get()](const Entry& entry,
                                                                   components::DownloadRequest& request) {
                    served->serve(entry.id, request);
                };
        }
        runner_ = std::make_unique<QueueRunner>(path, setup_.runner, std::move(listener));
        // Another process that already runs the queue keeps doing so: this thread ends at once
        // and the window shows what that one writes.
        runnerThread_ = std::thread([runner = runner_.get()] { runner->run(); });
    }
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &DownloadsWindow::refresh);
    timer_->start(500);
    refresh();
}

DownloadsWindow::~DownloadsWindow() { stopRunner(); }

QString DownloadsWindow::notice() const { return notice_->text(); }

void DownloadsWindow::stopRunner() {
    if (readsCancel_) readsCancel_->cancel();
    for (auto& read : pageReads_) read.join();
    pageReads_.clear();
    if (runner_) runner_->stop();
    if (runnerThread_.joinable()) runnerThread_.join();
}

void DownloadsWindow::closeEvent(QCloseEvent* event) {
    stopRunner();  // the running entries wait for the next runner
    QWidget::closeEvent(event);
}

void DownloadsWindow::refresh() {
    if (!store_) return;
    const auto entries = store_->list();
    std::map<EntryId, components::DownloadProgress> figures;
    {
        std::lock_guard guard(figuresMutex_);
        figures = figures_;
    }
    const auto selected = selectedIds();
    while (list_->topLevelItemCount() > static_cast<int>(entries.size())) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& entry = entries[k];
        QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(k));
        if (!item) {
            item = new QTreeWidgetItem(list_);
            auto* bar = new QProgressBar(list_);
            bar->setTextVisible(true);
            list_->setItemWidget(item, ProgressColumn, bar);
        }
        const auto found = figures.find(entry.id);
        const DownloadRow row = downloadRowOf(entry, found == figures.end() ? nullptr : &found->second);
        item->setData(0, kIdRole, QVariant::fromValue<qlonglong>(entry.id));
        item->setText(TitleColumn, row.title);
        item->setToolTip(TitleColumn, QString::fromStdString(entry.address));
        item->setText(SizeColumn, row.size);
        item->setText(SpeedColumn, row.speed);
        item->setText(RemainingColumn, row.remaining);
        item->setText(StateColumn, row.state);
        if (auto* bar = qobject_cast<QProgressBar*>(list_->itemWidget(item, ProgressColumn))) {
            bar->setRange(0, row.percent < 0 ? 0 : 100);  // 0..0: busy while the size is unknown
            bar->setValue(std::max(0, row.percent));
        }
        item->setSelected(std::find(selected.begin(), selected.end(), entry.id) != selected.end());
    }
}

std::vector<EntryId> DownloadsWindow::selectedIds() const {
    std::vector<EntryId> ids;
    for (int k = 0; k < list_->topLevelItemCount(); ++k)
        if (const auto* item = list_->topLevelItem(k); item->isSelected()) ids.push_back(item->data(0, kIdRole).toLongLong());
    return ids;
}

void DownloadsWindow::addLinks(const QString& text) {
    if (!store_) return;
    for (QString line : text.split('\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.startsWith("http://") || line.startsWith("https://")) store_->add(line.toStdString());
    }
    refresh();
}

void DownloadsWindow::pauseSelected() {
    if (store_) store_->pause(selectedIds());
    refresh();
}
void DownloadsWindow::resumeSelected() {
    if (store_) store_->resume(selectedIds());
    refresh();
}
void DownloadsWindow::removeSelected() {
    if (store_) store_->remove(selectedIds());
    refresh();
}
void DownloadsWindow::removeSelectedWithPartialFiles() {
    if (!store_) return;
    std::vector<Entry> removed;
    for (const EntryId id : selectedIds())
        if (auto entry = store_->entry(id)) removed.push_back(*entry);
    store_->remove(selectedIds());
    refresh();
    // After the removal, so a runner lets go of the parts; a saved file is never touched.
    for (const Entry& entry : removed)
        if (std::string error; entry.state != EntryState::Saved && !removePartialFiles(entry, error))
            notice_->setText(QString::fromStdString(error));
}
void DownloadsWindow::moveSelected(int steps) {
    if (store_) store_->move(selectedIds(), steps);
    refresh();
}
void DownloadsWindow::moveSelectedUp() { moveSelected(-1); }
void DownloadsWindow::moveSelectedDown() { moveSelected(1); }
void DownloadsWindow::retrySelected() {
    if (store_) store_->retry(selectedIds());
    refresh();
}

void DownloadsWindow::addTypedAddress() {
    addLinks(address_->text());
    address_->clear();
}

void DownloadsWindow::addAllOfTypedPage(std::function<void()> whenAdded) {
    const std::string page = address_->text().trimmed().toStdString();
    if (!store_ || page.empty()) return;
    address_->clear();
    addAll_->setEnabled(false);
    if (!readsCancel_) readsCancel_ = std::make_shared<components::CancelToken>();
    // The page is read away from the window's thread; the entries are written on it.
    // The window joins this thread before it goes, and a call posted to it then is dropped.
    QPointer<DownloadsWindow> self(this);
    pageReads_.emplace_back([self, page, cancel = readsCancel_, whenAdded = std::move(whenAdded)] {
        auto found = std::make_shared<PageVideos>(readPageVideos(page, cancel.get()));
        if (cancel->cancelled()) return;
        QMetaObject::invokeMethod(
            self,
            [self, page, found, whenAdded] {
                if (!self) return;
                addPageVideos(*self->store_, page, found->videos);
                self->notice_->setText(QString::fromStdString(found->error));
                self->addAll_->setEnabled(true);
                self->refresh();
                if (whenAdded) whenAdded();
            },
            Qt::QueuedConnection);
    });
}

void DownloadsWindow::openSelected() {
    if (!store_) return;
    for (const EntryId id : selectedIds())
        if (const auto entry = store_->entry(id); entry && entry->state == EntryState::Saved)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(entry->file)));
}

void DownloadsWindow::showSelectedInFolder() {
    if (!store_) return;
    for (const EntryId id : selectedIds())
        if (const auto entry = store_->entry(id); entry && !entry->file.empty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(entry->file)).absolutePath()));
}

void DownloadsWindow::playSelected() {
    if (!store_ || !setup_.play) return;
    const auto ids = selectedIds();
    if (ids.empty()) return;
    const auto entry = store_->entry(ids.front());
    if (!entry) return;
    const std::string address = served_ ? served_->addressOf(entry->id) : std::string();
    if (entry->state == EntryState::Running && !address.empty())
        setup_.play(address);
    else if (entry->state == EntryState::Saved && !entry->file.empty())
        setup_.play(entry->file);
}

void DownloadsWindow::showMenu(const QPoint& at) {
    QMenu menu(this);
    menu.addAction(tr("Pause"), this, &DownloadsWindow::pauseSelected);
    menu.addAction(tr("Resume"), this, &DownloadsWindow::resumeSelected);
    menu.addAction(tr("Remove"), this, &DownloadsWindow::removeSelected);
    menu.addAction(tr("Remove with partial file"), this, &DownloadsWindow::removeSelectedWithPartialFiles);
    menu.addAction(tr("Retry"), this, &DownloadsWindow::retrySelected);
    menu.addSeparator();
    menu.addAction(tr("Move up"), this, &DownloadsWindow::moveSelectedUp);
    menu.addAction(tr("Move down"), this, &DownloadsWindow::moveSelectedDown);
    menu.addSeparator();
    menu.addAction(tr("Open"), this, &DownloadsWindow::openSelected);
    menu.addAction(tr("Show in folder"), this, &DownloadsWindow::showSelectedInFolder);
    if (setup_.play) menu.addAction(tr("Play"), this, &DownloadsWindow::playSelected);
    menu.exec(list_->viewport()->mapToGlobal(at));
}

void DownloadsWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) event->acceptProposedAction();
}

void DownloadsWindow::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    QString text;
    if (data->hasUrls())
        for (const QUrl& url : data->urls()) text += url.toString() + "\n";
    else
        text = data->text();
    addLinks(text);
    event->acceptProposedAction();
}

}  // namespace zenvira::queue
