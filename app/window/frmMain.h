#pragma once
// frmMain: the application's main window. It carries the address box, the quality buttons,
// the batch list, the progress bar and the status bar; the download workflow does the work
// and talks back through the MainView calls. The window's own concerns are its controls and
// their places, start-up (skin, caption), the fixed size and the unload.
#include <QLocale>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/download_workflow.h"
#include "app/main_view.h"
#include "app/window/control_table.h"
#include "app/window/twips.h"
#include "components/downloader/downloader.h"

namespace zenvira::convert {
class frmConv;
}
namespace zenvira::player {
class Form1;
}

class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zenvira::window {

class StatusPanels;
class TextProgressBar;

// What start-up would otherwise take from the machine; tests set it.
struct FrmMainSetup {
    QString applicationFolder;                   // empty: the folder of the running executable
    std::optional<QLocale> locale;               // absent: the system's
    std::optional<TwipsPerPixel> twipsPerPixel;  // absent: the screen's
    app::PageReader pageReader;                  // empty: the real page fetch (pages and the update page)
    std::string playerArgumentText;              // what the player window plays when it opens
};

class frmMain : public QWidget, public app::MainView {
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

    app::DownloadWorkflow& workflow() { return workflow_; }
    components::clDownLoader& downloader() { return clDownLoader1; }
    TwipsPerPixel twipsPerPixel() const { return twipsPerPixel_; }
    QSize fixedClientSize() const;
    bool skinApplied() const { return skinApplied_; }
    const QString& skinError() const { return skinError_; }  // why the plain look was kept

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void buildControls();
    QPushButton* makeButton(std::string_view name);
    void place(QWidget* control, std::string_view name);
    void wireControls();

    bool checkForUpdate();
    void openProductSite();
    void LoadSkin();
    void Form_Resize();
    void Form_Unload();
    void enforceFixedSize();
    void placeStatusBar();

    QString applicationFolder_;
    app::PageReader updateReader_;
    std::string playerArgumentText_;
    // The modeless converter and player windows: one of each at most, deleted when closed.
    QPointer<convert::frmConv> converter_;
    QPointer<player::Form1> player_;
    QLocale locale_;
    TwipsPerPixel twipsPerPixel_;
    bool skinApplied_ = false;
    QString skinError_;
    bool unloaded_ = false;

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

    // The workflow holds a reference to the downloader, so it is declared (built) after it.
    components::clDownLoader clDownLoader1;
    app::DownloadWorkflow workflow_;
};

}  // namespace zenvira::window
