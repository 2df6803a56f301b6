#include "app/window/frmMain.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QShortcut>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <utility>
#include <vector>

#include "app/batch_list.h"
#include "app/download_names.h"
#include "app/update_check.h"
#include "app/window/clipboard_offer.h"
#include "app/window/locale_separator.h"
#include "app/window/status_panels.h"
#include "app/window/text_progress_bar.h"
#include "app/window/window_caption.h"
#include "base/product_site.h"
#include "components/file_dialog/file_dialog.h"
#include "components/msg_box/msg_box.h"
#include "platform/browser.h"
#include "platform/path_mapping.h"
#include "resolve/wait_seconds.h"
#include "ui/desktop_notice.h"
#include "ui/qt_text.h"

namespace zenvira::window {

using ui::qs;

frmMain::frmMain(FrmMainSetup setup, QWidget* parent)
    : FixedSizeWindow(kMainWindowTwips, setup.twipsPerPixel, parent),
      applicationFolder_(setup.applicationFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : setup.applicationFolder),
      updateReader_(setup.pageReader ? setup.pageReader : app::realPageReader(app::updatePageFetchOptions())),
      otherWindows_(std::move(setup.otherWindows)),
      settings_(setup.settings ? std::move(setup.settings) : ui::SettingsFactory(ui::userSettings)),
      notify_(setup.notify ? std::move(setup.notify) : std::function<void(const QString&, const QString&)>(ui::notifyDesktop)),
      locale_(setup.locale.value_or(QLocale::system())),
      session_(*this, {.folder = {}, .connections = {}, .reader = std::move(setup.pageReader)}) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Zenvira"));
    // The downloader's standing settings; each job writes the rest.
    clDownLoader1.setUseInternetErrorDialog(true);
    clDownLoader1.setInternetAgent(components::clDownLoader::kDefaultAgent);
    // Every download can be watched while it comes (Play); without the local server it
    // downloads as ever, and Play opens the player empty.
    std::string noServer;
    session_.serveDownloads(noServer);
    buildControls();
    wireControls();
    wireShortcuts();
    setAcceptDrops(true);
    enforceFixedSize();
    applyDownloadFolder();
    applySubtitles();
    setWatchClipboard(settings_()->value(QString::fromLatin1(kWatchClipboardKey), false).toBool());
}

frmMain::~frmMain() = default;

// --- controls ---------------------------------------------------------------------------

void frmMain::buildControls() {
    picFind = new QFrame(this);  // first, so the button column sits on top of it
    picFind->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    place(picFind, "picFind");

    for (int k = 0; k < kQualityButtonCount; ++k)
        PushButton1[static_cast<std::size_t>(k)] = makeButton(qualityButtonName(k));
    PushButton3 = makeButton("PushButton3");
    PushButton4 = makeButton("PushButton4");

    txturl = new QLineEdit(this);
    txturl->setAccessibleName(tr("Address"));
    place(txturl, "txturl");
    PushButton2 = makeButton("PushButton2");
    PushButton5 = makeButton("PushButton5");
    PushButton8 = makeButton("PushButton8");

    ListBox1 = new QListWidget(this);
    ListBox1->setAccessibleName(tr("Batch list"));
    ListBox1->setAlternatingRowColors(true);
    ListBox1->setUniformItemSizes(true);
    place(ListBox1, "ListBox1");

    ProgressBar1 = new TextProgressBar(this);
    ProgressBar1->setAccessibleName(tr("Download progress"));
    place(ProgressBar1, "ProgressBar1");
    PushButton6 = makeButton("PushButton6");
    PushButton7 = makeButton("PushButton7");

    STBar = new StatusPanels(this);
    STBar->setAccessibleName(tr("Status"));
    place(STBar, "STBar");
    STBar->setPanel1Width(ui::twipsToPixels(kStatusPanel1WidthTwips, twipsPerPixel().x));
    STBar->setPanelText(2, qs(base::ownershipNotice()));
    STBar->setPanelToolTip(2, qs(base::ownershipNotice()));

    clipboardLinks_ = std::make_unique<ClipboardLinks>();
}

QPushButton* frmMain::makeButton(std::string_view name) {
    auto* button = new QPushButton(qs(controlEntry(name).caption), this);
    button->setAccessibleName(button->text());
    button->setFont(QFont(qs(kButtonFontFamily), kButtonFontPointSize));
    button->setAutoDefault(false);
    place(button, name);
    return button;
}

void frmMain::place(QWidget* control, std::string_view name) { placeControl(control, controlEntry(name)); }

void frmMain::wireControls() {
    for (int k = 0; k < kQualityButtonCount; ++k)
        connect(PushButton1[static_cast<std::size_t>(k)], &QPushButton::clicked, this,
                [this, k] { PushButton1_Click(k); });
    connect(PushButton2, &QPushButton::clicked, this, &frmMain::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &frmMain::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &frmMain::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &frmMain::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &frmMain::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &frmMain::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &frmMain::PushButton8_Click);
    connect(STBar, &StatusPanels::PanelClick, this, &frmMain::STBar_PanelClick);
    // Enter in the address box does what Extract does.
    connect(txturl, &QLineEdit::returnPressed, this, &frmMain::PushButton2_Click);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QWidget::customContextMenuRequested, this, &frmMain::showBatchMenu);
    STBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(STBar, &QWidget::customContextMenuRequested, this, &frmMain::showStatusMenu);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &frmMain::clipboardChanged);
}

void frmMain::setWatchClipboard(bool watch) {
    watchClipboard_ = watch;
    if (!watch && clipboardOffer_) clipboardOffer_->hide();
}

// What the user copies, while the watch is on; not what the address box already holds.
void frmMain::clipboardChanged() {
    if (!watchClipboard_) return;
    const QString address = clipboardLinks_->offerFor(QGuiApplication::clipboard()->text());
    if (address.isEmpty() || address == txturl->text().trimmed()) return;
    // Made with the first offer, so the window holds only its own controls until then.
    if (!clipboardOffer_) {
        clipboardOffer_ = new ClipboardOffer(static_cast<bool>(otherWindows_.addToQueue), this);
        connect(clipboardOffer_, &ClipboardOffer::extract, this, [this](const QString& offered) {
            txturl->setText(offered);
            PushButton2_Click();
        });
        connect(clipboardOffer_, &ClipboardOffer::addToQueue, this, [this](const QString& offered) {
            if (otherWindows_.addToQueue) otherWindows_.addToQueue(offered.toStdString());
        });
        placeEdgeControls();
    }
    clipboardOffer_->offer(address);
}

// Ctrl+L goes to the address box, Ctrl+V anywhere in the window pastes a link into it, Ctrl+Q
// ends the program as closing the window does.
void frmMain::wireShortcuts() {
    auto* address = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(address, &QShortcut::activated, this, [this] {
        txturl->setFocus(Qt::ShortcutFocusReason);
        txturl->selectAll();
    });
    auto* paste = new QShortcut(QKeySequence::Paste, this);
    paste->setContext(Qt::WindowShortcut);
    connect(paste, &QShortcut::activated, this, [this] {
        if (txturl->hasFocus()) return txturl->paste();
        takeLink(QGuiApplication::clipboard()->text());
    });
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::ApplicationShortcut);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

bool frmMain::takeLink(const QString& text) {
    const auto entry = app::batchEntryFor(text.trimmed().toStdString());
    if (!entry) return false;
    txturl->setText(qs(entry->address));
    txturl->setFocus(Qt::OtherFocusReason);
    return true;
}

void frmMain::openHandedOver(const QString& operand) {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    if (operand.isEmpty()) return;
    if (takeLink(operand)) {
        // After the hand-over's own event: Extract waits in a loop of its own.
        QTimer::singleShot(0, this, &frmMain::PushButton2_Click);
        return;
    }
    const QFileInfo file(operand.startsWith(QLatin1String("file:")) ? QUrl(operand).toLocalFile() : operand);
    if (file.isFile() && otherWindows_.playFile) otherWindows_.playFile(file.absoluteFilePath().toStdString());
}

namespace {

// The link a drag carries: its first web address, else its text.
QString draggedLink(const QMimeData* data) {
    if (!data) return {};
    if (data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
                return url.toString(QUrl::FullyEncoded);
    return data->hasText() ? data->text().trimmed() : QString();
}

}  // namespace

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (app::batchEntryFor(draggedLink(event->mimeData()).toStdString()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent* event) {
    if (takeLink(draggedLink(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

// --- start-up ---------------------------------------------------------------------------

bool frmMain::Form_Load() {
    if (!checkForUpdate()) return false;
    LoadSkin();
    for (QPushButton* button : PushButton1) button->setEnabled(false);
    setCaption(loadedCaption(decimalSeparator()));
    txturl->setFocus();  // the first thing a person does is paste an address
    return true;
}

// The check against the version published on the product site comes here; until then
// every start goes on.
// A newer published version is announced, the site opened, and this copy ends.
bool frmMain::checkForUpdate() {
    const auto check = app::checkForNewerVersion(updateReader_);
    if (!check.newer) return true;
    components::msgBox(app::newVersionMessage(check.versionText),
                       components::MsgBoxStyle::OkOnly + components::MsgBoxStyle::Information, "New Version");
    openProductSite();
    resolve::waitSeconds(2);
    return false;
}

// A browser that will not start never ends the application; the status bar says why.
void frmMain::openProductSite() {
    const auto launch = platform::openInBrowser(base::productHomeAddress());
    if (!launch.ok) setStatusText(launch.error);
}

void frmMain::LoadSkin() { wearApplicationSkin(applicationFolder_); }

// --- MainView ---------------------------------------------------------------------------

void frmMain::setStatusText(const std::string& text) { STBar->setPanelText(1, QString::fromStdString(text)); }

void frmMain::setCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void frmMain::setQualityButtonEnabled(int index, bool enabled) {
    if (index >= 0 && index < kQualityButtonCount) PushButton1[static_cast<std::size_t>(index)]->setEnabled(enabled);
}

void frmMain::showProgressView(const app::ProgressView& view) {
    if (view.sizeKnown)
        ProgressBar1->setMaxAndValue(view.barMax, view.barValue);
    else
        ProgressBar1->setBusy();
    if (view.barText) ProgressBar1->setOverlayText(QString::fromStdString(*view.barText));
    setStatusText(view.statusLine);
    if (progressListener_) progressListener_(view.barText ? *view.barText + "  " + view.statusLine : view.statusLine);
}

char frmMain::decimalSeparator() const { return decimalSeparatorOf(locale_); }

// The row keeps its text (the batch reads it); the mark beside it and its tool tip say how
// its last run ended.
void frmMain::markBatchRow(std::size_t row, app::BatchRowOutcome outcome, const std::string& reason,
                           const std::string& savedFile) {
    if (row >= static_cast<std::size_t>(ListBox1->count())) return;  // removed meanwhile
    QListWidgetItem* item = ListBox1->item(static_cast<int>(row));
    const auto icon = outcome == app::BatchRowOutcome::Saved    ? QStyle::SP_DialogApplyButton
                      : outcome == app::BatchRowOutcome::Failed ? QStyle::SP_MessageBoxCritical
                                                                : QStyle::SP_MessageBoxWarning;
    const QString kind = outcome == app::BatchRowOutcome::Saved    ? tr("Saved")
                         : outcome == app::BatchRowOutcome::Failed ? tr("Failed")
                                                                   : tr("Skipped");
    item->setIcon(style()->standardIcon(icon));
    item->setToolTip(reason.empty() ? kind : kind + ": " + QString::fromStdString(reason));
    item->setData(kSavedFileRole, QString::fromStdString(savedFile));
    item->setData(kOutcomeRole, kind);
}

void frmMain::downloadsEnded(const std::string& text) {
    if (!isActiveWindow()) notify_(QStringLiteral("Zenvira"), QString::fromStdString(text));
}

// --- commands ---------------------------------------------------------------------------

void frmMain::PushButton1_Click(int index) { workflow_.QualityDownload(index); }

void frmMain::PushButton2_Click() { workflow_.Extract(txturl->text().toStdString()); }

void frmMain::PushButton3_Click() {
    if (otherWindows_.showConverter) otherWindows_.showConverter();
}

void frmMain::PushButton4_Click() {
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(ListBox1->count()));
    for (int i = 0; i < ListBox1->count(); ++i) {
        const QListWidgetItem* item = ListBox1->item(i);
        const QString address = item->data(kAddressRole).toString();
        rows.push_back((address.isEmpty() ? item->text() : address).toStdString());
    }
    workflow_.BatchDownload(rows);
}

void frmMain::PushButton5_Click() {
    for (QPushButton* button : PushButton1) button->setEnabled(false);
    if (const auto entry = app::batchEntryFor(txturl->text().toStdString())) {
        auto* item = new QListWidgetItem(qs(entry->row), ListBox1);
        item->setData(kAddressRole, qs(entry->address));
        item->setToolTip(qs(entry->address));
    }
    txturl->clear();
}

void frmMain::PushButton6_Click() { workflow_.Stop(); }

void frmMain::PushButton7_Click() { openProductSite(); }

void frmMain::PushButton8_Click() {
    // A running download plays from its local stream at once; seeking works on what has not
    // come yet, and the stream goes on from the finished file when the download ends.
    if (clDownLoader1.Busy() && !session_.streamAddress().empty() && otherWindows_.playStream)
        otherWindows_.playStream(session_.streamAddress());
    else if (otherWindows_.showPlayer)
        otherWindows_.showPlayer();
}

void frmMain::STBar_PanelClick(int panel) {
    if (STBar->panelText(panel).toStdString().find(base::productSiteHost()) != std::string::npos) openProductSite();
}

// --- context menus and the download folder ---------------------------------------------

// Remove, and for a saved row, open the file or its folder.
void frmMain::showBatchMenu(const QPoint& pos) {
    QListWidgetItem* item = ListBox1->itemAt(pos);
    if (!item) return;
    const QString saved = item->data(kSavedFileRole).toString();
    QMenu menu(this);
    menu.addAction(tr("Remove"), this, [this, item] { delete ListBox1->takeItem(ListBox1->row(item)); });
    QAction* open = menu.addAction(tr("Open the saved file"), this,
                                   [saved] { QDesktopServices::openUrl(QUrl::fromLocalFile(saved)); });
    QAction* folder = menu.addAction(tr("Show in folder"), this, [saved] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(saved).absolutePath()));
    });
    const bool present = !saved.isEmpty() && QFileInfo(saved).isFile();
    open->setEnabled(present);
    folder->setEnabled(present);
    menu.exec(ListBox1->viewport()->mapToGlobal(pos));
}

void frmMain::showStatusMenu(const QPoint& pos) {
    QMenu menu(this);
    QAction* choose = menu.addAction(tr("Download folder: %1...").arg(QDir::toNativeSeparators(downloadFolder())),
                                     this, &frmMain::chooseDownloadFolder);
    // ZENVIRA_DRIVE_C names the folder for this run; a choice would not be followed.
    choose->setEnabled(!qEnvironmentVariableIsSet("ZENVIRA_DRIVE_C"));
    QAction* watch = menu.addAction(tr("Watch the clipboard for links"), this, [this](bool checked) {
        const auto settings = settings_();
        settings->setValue(QString::fromLatin1(kWatchClipboardKey), checked);
        settings->sync();
        setWatchClipboard(checked);
        setStatusText(checked ? "Copied links are offered" : "Copied links are not offered");
    });
    watch->setObjectName(QStringLiteral("watchClipboard"));
    watch->setCheckable(true);
    watch->setChecked(watchClipboard_);
    // Beside the folder, the subtitles saved with each video: none, all, or the languages
    // the page in the window offers.
    QMenu* subtitles = menu.addMenu(tr("Subtitles"));
    const QString current = settings_()->value(QString::fromLatin1(kSubtitlesKey)).toString();
    QStringList choices{QString(), QStringLiteral("all")};
    for (const auto& offered : workflow_.resolution().subtitles) {
        const QString language = QString::fromStdString(offered.language);
        if (!language.isEmpty() && !choices.contains(language)) choices << language;
    }
    if (!choices.contains(current)) choices << current;
    for (const QString& choice : choices) {
        QAction* action = subtitles->addAction(choice.isEmpty()  ? tr("None")
                                               : choice == "all" ? tr("All")
                                                                 : choice,
                                               this, [this, choice] { chooseSubtitles(choice); });
        action->setCheckable(true);
        action->setChecked(choice == current);
    }
    if (otherWindows_.showDownloads) menu.addAction(tr("Downloads..."), this, otherWindows_.showDownloads);
    menu.exec(STBar->mapToGlobal(pos));
}

void frmMain::chooseSubtitles(const QString& choice) {
    const auto settings = settings_();
    settings->setValue(QString::fromLatin1(kSubtitlesKey), choice);
    settings->sync();
    applySubtitles();
    setStatusText(choice.isEmpty() ? std::string("No subtitles are saved")
                                   : "Subtitles saved beside each video: " + choice.toStdString());
}

void frmMain::applySubtitles() {
    std::vector<std::string> languages;
    for (const QString& language :
         settings_()->value(QString::fromLatin1(kSubtitlesKey)).toString().split(u',', Qt::SkipEmptyParts))
        languages.push_back(language.trimmed().toStdString());
    workflow_.setSubtitleLanguages(std::move(languages));
}

QString frmMain::downloadFolder() const {
    const std::string& folder = workflow_.localFolder();
    std::string error;
    if (folder == app::kLocalFolder) return QString::fromStdString(platform::driveRootFolder('c', error));
    return QString::fromStdString(folder);
}

void frmMain::chooseDownloadFolder() {
    if (qEnvironmentVariableIsSet("ZENVIRA_DRIVE_C")) return;
    components::OpenFileDialogRequest request;
    request.title = "Download folder";
    request.initialFolder = downloadFolder().toStdString();
    request.chooseFolder = true;
    const std::string chosen = components::showOpenFileDialog(request);
    if (chosen.empty()) return;
    const auto settings = settings_();
    settings->setValue(QString::fromLatin1(kDownloadFolderKey), QString::fromStdString(chosen));
    settings->sync();
    applyDownloadFolder();
    setStatusText("Downloads go to " + chosen);
}

// The remembered folder, unless ZENVIRA_DRIVE_C is set: then "c:\" stands for that folder.
void frmMain::applyDownloadFolder() {
    if (qEnvironmentVariableIsSet("ZENVIRA_DRIVE_C")) {
        workflow_.setLocalFolder({});
        return;
    }
    const auto settings = settings_();
    workflow_.setLocalFolder(settings->value(QString::fromLatin1(kDownloadFolderKey)).toString().toStdString());
}

// --- size -------------------------------------------------------------------------------

void frmMain::placeEdgeControls() {
    if (!STBar) return;  // not built yet
    const int height = ui::twipsToPixels(controlEntry("STBar").place.height, twipsPerPixel().y);
    STBar->setGeometry(0, this->height() - height, this->width(), height);
    if (!clipboardOffer_) return;
    // The offer of a copied link lies along the bottom of the batch list, like a message bar.
    const QRect list = ListBox1->geometry();
    const int offerHeight = clipboardOffer_->sizeHint().height();
    clipboardOffer_->setGeometry(list.x() + 1, list.bottom() - offerHeight, list.width() - 2, offerHeight);
}

// --- unload -----------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// The running download ends and its threads are joined, every other window closes, and the
// application ends: nothing outlives the main window.
void frmMain::Form_Unload() {
    if (std::exchange(unloaded_, true)) return;
    workflow_.Shutdown();
    clDownLoader1.Shutdown();
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != this && other->isVisible()) other->close();
    QCoreApplication::quit();
}

}  // namespace zenvira::window
