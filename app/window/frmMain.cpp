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
#include "app/window/qt_text.h"
#include "app/window/screen_twips.h"
#include "components/msg_box/msg_box.h"
#include "platform/browser.h"
#include "resolve/wait_seconds.h"
#include "app/window/skin_apply.h"
#include "app/window/skin_file.h"
#include "app/window/status_panels.h"
#include "app/window/text_progress_bar.h"
#include "app/window/window_caption.h"
#include "app/window/window_size.h"
#include "convert/window/frmConv.h"
#include "player/window/Form1.h"

namespace zenvira::window {

namespace {

constexpr Qt::WindowStates kRefusedStates = Qt::WindowMaximized | Qt::WindowFullScreen;

}  // namespace

frmMain::frmMain(FrmMainSetup setup, QWidget* parent)
    : QWidget(parent),
      applicationFolder_(setup.applicationFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : setup.applicationFolder),
      updateReader_(setup.pageReader ? setup.pageReader : app::realPageReader(app::updatePageFetchOptions())),
      playerArgumentText_(setup.playerArgumentText),
      locale_(setup.locale.value_or(QLocale::system())),
      twipsPerPixel_(setup.twipsPerPixel.value_or(screenTwipsPerPixel())),
      workflow_(*this, clDownLoader1, setup.pageReader ? std::move(setup.pageReader) : app::realPageReader()) {
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_StyledBackground);  // lets a skin paint the window background
    setWindowTitle(QStringLiteral("Zenvira"));
    // A fixed-size window: no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
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
    STBar->setPanel1Width(twipsToPixels(kStatusPanel1WidthTwips, twipsPerPixel_.x));
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

void frmMain::place(QWidget* control, std::string_view name) {
    control->setObjectName(qs(name));
    const PixelRect r = twipsToPixels(controlEntry(name).place, twipsPerPixel_);
    control->setGeometry(r.x, r.y, r.width, r.height);
}

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

void frmMain::LoadSkin() {
    const SkinLoad load = loadApplicationSkin(applicationFolder_);
    skinApplied_ = load.skin.has_value();
    skinError_ = load.error;
    if (load.skin) applySkin(*this, *load.skin);
}

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

void frmMain::PushButton3_Click() { convert::showConverterWindow(converter_); }

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
    if (!player_) player_ = new player::Form1(playerArgumentText_);
    player_->show();
    player_->raise();
    player_->activateWindow();
}

void frmMain::STBar_PanelClick(int panel) {
    if (STBar->panelText(panel).toStdString().find(base::productSiteHost()) != std::string::npos) openProductSite();
}

// --- size -------------------------------------------------------------------------------

QSize frmMain::fixedClientSize() const {
    const bool frameKnown = isVisible() && !isMinimized();
    const QSize extra = frameKnown ? frameGeometry().size() - geometry().size() : QSize();
    const PixelSize client = window::fixedClientSize(twipsPerPixel_, {extra.width(), extra.height()});
    return {client.width, client.height};
}

// Whatever the user or the window system does to the size, the window takes its own size
// back; only a minimized window is left as it is. Maximizing is refused the same way.
void frmMain::Form_Resize() {
    if (isMinimized()) return;
    if (windowState() & kRefusedStates) setWindowState(windowState() & ~kRefusedStates);
    enforceFixedSize();
}

void frmMain::enforceFixedSize() {
    const QSize wanted = fixedClientSize();
    if (minimumSize() != wanted || maximumSize() != wanted) setFixedSize(wanted);
    if (size() != wanted) resize(wanted);
    placeStatusBar();
}

// The status bar runs along the bottom of the client area, whatever height the frame leaves.
void frmMain::placeStatusBar() {
    const int height = twipsToPixels(controlEntry("STBar").place.height, twipsPerPixel_.y);
    STBar->setGeometry(0, this->height() - height, this->width(), height);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

// The frame is known only once the window system has put the window on the screen.
void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}

void frmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Form_Resize();
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
