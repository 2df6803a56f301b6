#pragma once
// frmMain: the application's main window. It carries the address box, the quality buttons,
// the batch list, the progress bar and the status bar; the download workflow does the work
// and talks back through the MainView calls. The window's own concerns are its controls and
// their places, start-up (skin, caption), the fixed size and the unload.
#include <QLocale>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/download_session.h"
#include "app/download_workflow.h"
#include "app/main_view.h"
#include "app/window/main_layout.h"
#include "components/downloader/downloader.h"
#include "ui/fixed_size_window.h"
#include "ui/user_settings.h"

class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zenvira::window {

class ClipboardLinks;
class ClipboardOffer;
class StatusPanels;
class TextProgressBar;

// The converter and the player window, which Converter and Play show. The front that builds
// the main window joins them (app/gui/other_windows.h), so no window includes another; empty,
// the button does nothing.
struct OtherWindows {
    std::function<void()> showConverter;
    std::function<void()> showPlayer;
    // Opens the player on a running download's local stream (its address).
    std::function<void(const std::string& address)> playStream;
    std::function<void()> showDownloads;  // the download queue's window; empty: not offered
    std::function<void(const std::string&)> playFile;  // shows the player playing the file
    // Adds an address to the download queue and shows the Downloads window; empty: not offered.
    std::function<void(const std::string&)> addToQueue;
};

// What start-up would otherwise take from the machine; tests set it.
struct FrmMainSetup {
    QString applicationFolder;                   // empty: the folder of the running executable
    std::optional<QLocale> locale;               // absent: the system's
    std::optional<ui::TwipsPerPixel> twipsPerPixel;  // absent: the screen's
    app::PageReader pageReader;                  // empty: the real page fetch (pages and the update page)
    OtherWindows otherWindows;
    ui::SettingsFactory settings;                // empty: the user's own settings
    // Says on the desktop that downloads have ended (summary, body); empty: the desktop's
    // notification service.
    std::function<void(const QString&, const QString&)> notify;
};

// The settings key of the download folder the user chose.
inline constexpr const char* kDownloadFolderKey = "Settings/DownloadFolder";
// The subtitles saved beside each video: empty for none, "all", or languages ("en,de").
inline constexpr const char* kSubtitlesKey = "Settings/Subtitles";
// Whether copied addresses are offered (the clipboard watch): "true" or "false", off unset.
inline constexpr const char* kWatchClipboardKey = "Settings/WatchClipboard";
// What a ListBox1 row carries beside its text: its saved file and its last outcome's name.
inline constexpr int kSavedFileRole = Qt::UserRole + 1;
inline constexpr int kOutcomeRole = Qt::UserRole + 2;
// The whole address behind a ListBox1 row, which shows at most 42 characters of it.
inline constexpr int kAddressRole = Qt::UserRole + 3;

class frmMain : public ui::FixedSizeWindow, public app::MainView {
    Q_OBJECT
public:
    explicit frmMain(FrmMainSetup setup = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up; false when the application is to end instead of showing the window.
    bool Form_Load();

    void setStatusText(const std::string& text) override;
    void setCaption(const std::string& caption) override;
    void setQualityButtonEnabled(int index, bool enabled) override;
    void showProgressView(const app::ProgressView& view) override;
    char decimalSeparator() const override;
    void markBatchRow(std::size_t row, app::BatchRowOutcome outcome, const std::string& reason,
                      const std::string& savedFile) override;
    void downloadsEnded(const std::string& text) override;

    // Where downloads go: the folder chosen and remembered, unless ZENVIRA_DRIVE_C is set.
    void chooseDownloadFolder();
    QString downloadFolder() const;
    app::DownloadWorkflow& workflow() { return workflow_; }
    components::clDownLoader& downloader() { return clDownLoader1; }

    // Click handlers, named after control and event.
    void PushButton1_Click(int index);
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void STBar_PanelClick(int panel);

    // A link from a browser or another program: into the address box, when it is an address
    // a resolver reads; false when it is not.
    bool takeLink(const QString& text);
    // What a second `zenvira` hands over: an address is extracted, a file played.
    void openHandedOver(const QString& operand);
    // The clipboard watch: on, copied addresses are offered (a remembered choice).
    void setWatchClipboard(bool watch);
    bool watchesClipboard() const { return watchClipboard_; }
    // Told the status line of a running download at each step (the tray's tooltip).
    void onDownloadProgress(std::function<void(const std::string&)> listener) { progressListener_ = std::move(listener); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The status bar runs along the bottom of the client area, whatever height the frame leaves.
    void placeEdgeControls() override;

private:
    void buildControls();
    QPushButton* makeButton(std::string_view name);
    void place(QWidget* control, std::string_view name);
    void wireControls();
    void wireShortcuts();

    bool checkForUpdate();
    void openProductSite();
    void LoadSkin();
    void Form_Unload();
    void applyDownloadFolder();
    void chooseSubtitles(const QString& choice);
    void applySubtitles();
    void showBatchMenu(const QPoint& pos);
    void showStatusMenu(const QPoint& pos);
    void clipboardChanged();

    QString applicationFolder_;
    app::PageReader updateReader_;
    OtherWindows otherWindows_;
    ui::SettingsFactory settings_;
    std::function<void(const QString&, const QString&)> notify_;
    QLocale locale_;
    bool unloaded_ = false;
    std::function<void(const std::string&)> progressListener_;
    bool watchClipboard_ = false;
    std::unique_ptr<ClipboardLinks> clipboardLinks_;
    ClipboardOffer* clipboardOffer_ = nullptr;

    std::array<QPushButton*, kQualityButtonCount> PushButton1{};
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QLineEdit* txturl = nullptr;
    QListWidget* ListBox1 = nullptr;
    TextProgressBar* ProgressBar1 = nullptr;
    StatusPanels* STBar = nullptr;
    QFrame* picFind = nullptr;

    // The download session owns the downloader and the workflow; the window names them as the
    // classic form did.
    app::DownloadSession session_;
    components::clDownLoader& clDownLoader1 = session_.downloader();
    app::DownloadWorkflow& workflow_ = session_.workflow();
};

}  // namespace zenvira::window
