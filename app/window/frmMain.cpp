#include "app/window/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <utility>
#include <vector>

#include "app/batch_list.h"
#include "base/product_site.h"
#include "app/update_check.h"
#include "app/window/locale_separator.h"
#include "app/window/status_panels.h"
#include "app/window/text_progress_bar.h"
#include "app/window/window_caption.h"
#include "components/msg_box/msg_box.h"
#include "platform/browser.h"
#include "resolve/wait_seconds.h"
#include "ui/qt_text.h"

namespace zenvira::window {

using ui::qs;

frmMain::frmMain(FrmMainSetup setup, QWidget* parent)
    : FixedSizeWindow(kMainWindowTwips, setup.twipsPerPixel, parent),
      applicationFolder_(setup.applicationFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : setup.applicationFolder),
      updateReader_(setup.pageReader ? setup.pageReader : app::realPageReader(app::updatePageFetchOptions())),
      otherWindows_(std::move(setup.otherWindows)),
      locale_(setup.locale.value_or(QLocale::system())),
      workflow_(*this, clDownLoader1, setup.pageReader ? std::move(setup.pageReader) : app::realPageReader()) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Zenvira"));
    // The downloader's standing settings; each job writes the rest.
    clDownLoader1.setUseInternetErrorDialog(true);
    clDownLoader1.setInternetAgent(components::clDownLoader::kDefaultAgent);
    buildControls();
    wireControls();
    enforceFixedSize();
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
    place(txturl, "txturl");
    PushButton2 = makeButton("PushButton2");
    PushButton5 = makeButton("PushButton5");
    PushButton8 = makeButton("PushButton8");

    ListBox1 = new QListWidget(this);
    ListBox1->setAlternatingRowColors(true);
    ListBox1->setUniformItemSizes(true);
    place(ListBox1, "ListBox1");

    ProgressBar1 = new TextProgressBar(this);
    place(ProgressBar1, "ProgressBar1");
    PushButton6 = makeButton("PushButton6");
    PushButton7 = makeButton("PushButton7");

    STBar = new StatusPanels(this);
    place(STBar, "STBar");
    STBar->setPanel1Width(ui::twipsToPixels(kStatusPanel1WidthTwips, twipsPerPixel().x));
    STBar->setPanelText(2, qs(base::ownershipNotice()));
    STBar->setPanelToolTip(2, qs(base::ownershipNotice()));
}

QPushButton* frmMain::makeButton(std::string_view name) {
    auto* button = new QPushButton(qs(controlEntry(name).caption), this);
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
    ProgressBar1->setMaxAndValue(view.barMax, view.barValue);
    if (view.barText) ProgressBar1->setOverlayText(QString::fromStdString(*view.barText));
    setStatusText(view.statusLine);
}

char frmMain::decimalSeparator() const { return decimalSeparatorOf(locale_); }

// --- commands ---------------------------------------------------------------------------

void frmMain::PushButton1_Click(int index) { workflow_.QualityDownload(index); }

void frmMain::PushButton2_Click() { workflow_.Extract(txturl->text().toStdString()); }

void frmMain::PushButton3_Click() {
    if (otherWindows_.showConverter) otherWindows_.showConverter();
}

void frmMain::PushButton4_Click() {
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(ListBox1->count()));
    for (int i = 0; i < ListBox1->count(); ++i) rows.push_back(ListBox1->item(i)->text().toStdString());
    workflow_.BatchDownload(rows);
}

void frmMain::PushButton5_Click() {
    for (QPushButton* button : PushButton1) button->setEnabled(false);
    if (const auto row = app::batchRowFor(txturl->text().toStdString())) ListBox1->addItem(qs(*row));
    txturl->clear();
}

void frmMain::PushButton6_Click() { workflow_.Stop(); }

void frmMain::PushButton7_Click() { openProductSite(); }

void frmMain::PushButton8_Click() {
    if (otherWindows_.showPlayer) otherWindows_.showPlayer();
}

void frmMain::STBar_PanelClick(int panel) {
    if (STBar->panelText(panel).toStdString().find(base::productSiteHost()) != std::string::npos) openProductSite();
}

// --- size -------------------------------------------------------------------------------

void frmMain::placeEdgeControls() {
    if (!STBar) return;  // not built yet
    const int height = ui::twipsToPixels(controlEntry("STBar").place.height, twipsPerPixel().y);
    STBar->setGeometry(0, this->height() - height, this->width(), height);
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
