#include "convert/window/frmConv.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "base/product_site.h"
#include "components/file_dialog/file_dialog.h"
#include "components/msg_box/msg_box.h"
#include "convert/conversion_job.h"
#include "convert/convert_flv.h"
#include "convert/output_profiles.h"
#include "convert/window/converter_layout.h"
#include "convert/window/encoder_offer.h"
#include "convert/window/status_animation.h"
#include "platform/application_folder.h"
#include "platform/path_mapping.h"
#include "ui/desktop_notice.h"
#include "ui/qt_text.h"

namespace zenvira::convert {

namespace {

namespace Style = components::MsgBoxStyle;
constexpr const char* kApplicationTitle = "Zenvira";
constexpr const char* kFlvFilter = "FLV Video (*.flv)|*.flv|All Files (*.*)|*.*";
using ui::qs;

QFont controlFont(std::string_view family, bool bold) {
    QFont font;
    font.setFamilies(family == kControlFontFamily ? QStringList{qs(family), qs(kControlFontFallback)}
                                                  : QStringList{qs(family)});
    font.setPointSizeF(kControlFontPointSize);
    font.setBold(bold);
    return font;
}

// The Browse dialog opens in "c:\" every time, as this system spells that folder.
std::string browseFolder() {
    std::string error;
    return platform::driveRootFolder('c', error);
}

}  // namespace

frmConv::frmConv(FrmConvSetup setup, QWidget* parent)
    : FixedSizeWindow(kConverterWindowTwips, setup.twipsPerPixel, parent),
      settings_(setup.settings ? std::move(setup.settings) : SettingsFactory(userSettings)) {
    setObjectName(QStringLiteral("frmConv"));
    setAcceptDrops(true);
    setWindowTitle(qs(kConverterCaption));
    buildControls();
    wireControls();
    enforceFixedSize();
}

// A window deleted without being closed still stores its profile and ends its run.
frmConv::~frmConv() { Form_Unload(); }

// --- controls ---------------------------------------------------------------------------

void frmConv::buildControls() {
    const QFont regular = controlFont(kControlFontFamily, false);
    Label2 = makeLabel("Label2", controlFont(kControlFontFamily, true));
    txtFname = new QLineEdit(this);
    txtFname->setFont(regular);
    place(txtFname, "txtFname");
    Label2->setBuddy(txtFname);  // the label above names the box for a screen reader
    cmdLoad = makeButton("cmdLoad");
    Label1 = makeLabel("Label1", controlFont(kControlFontFamily, true));

    // Editable, so a remembered text that is no profile name shows as it was stored; typing
    // never adds to the list.
    cmbFormat = new QComboBox(this);
    cmbFormat->setFont(regular);
    cmbFormat->setEditable(true);
    cmbFormat->setInsertPolicy(QComboBox::NoInsert);
    cmbFormat->setMaxVisibleItems(static_cast<int>(kProfileCount));
    cmbFormat->setEditText(qs(converterControl("cmbFormat").caption));
    place(cmbFormat, "cmbFormat");
    cmdConvert = makeButton("cmdConvert");

    lblStatus = makeLabel("lblStatus", controlFont(kStatusFontFamily, true));
    setStatus(qs(kStatusDesignText), kStatusGreen);
    pbConv = new QProgressBar(this);
    pbConv->setRange(0, kProgressMaximum);
    pbConv->setValue(0);
    pbConv->setTextVisible(false);
    place(pbConv, "pbConv");

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
}

QLabel* frmConv::makeLabel(std::string_view name, const QFont& font) {
    auto* label = new QLabel(qs(converterControl(name).caption), this);
    label->setFont(font);
    place(label, name);
    return label;
}

QPushButton* frmConv::makeButton(std::string_view name) {
    auto* button = new QPushButton(qs(converterControl(name).caption), this);
    button->setFont(controlFont(kControlFontFamily, false));
    button->setAutoDefault(false);
    place(button, name);
    return button;
}

void frmConv::place(QWidget* control, std::string_view name) { placeControl(control, converterControl(name)); }

void frmConv::wireControls() {
    connect(cmdLoad, &QPushButton::clicked, this, &frmConv::cmdLoad_Click);
    connect(cmdConvert, &QPushButton::clicked, this, &frmConv::cmdConvert_Click);
}

// The colour goes into the label's palette; the skin's style sheet sets no colour for plain
// labels, so the palette is what is drawn.
void frmConv::setStatus(const QString& text, std::uint32_t rgb) {
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(rgb));
    lblStatus->setPalette(palette);
    // A status longer than the label's design width ("Error! Unable to locate avformat.dll")
    // takes the free row to the window's right edge; beyond that it is shortened in the
    // middle, and the whole text is the label's tool tip.
    place(lblStatus, "lblStatus");
    const QFontMetrics metrics(lblStatus->font());
    const int room = std::max(lblStatus->width(), width() - lblStatus->x() - lblStatus->x());
    const int needed = metrics.horizontalAdvance(text) + 2;
    if (needed > lblStatus->width()) lblStatus->resize(std::min(needed, room), lblStatus->height());
    lblStatus->setText(metrics.elidedText(text, Qt::ElideMiddle, lblStatus->width()));
    lblStatus->setToolTip(text);
}

// --- load -------------------------------------------------------------------------------

bool frmConv::Form_Load() {
    if (offerEncoder(base::encoderDownloadAddress(), QApplication::activeWindow()) == EncoderOffer::Fetched)
        return false;
    LoadSkin();
    createJob();
    fillFormatList();
    loaded_ = true;
    return true;
}

void frmConv::LoadSkin() { wearApplicationSkin(qs(platform::applicationFolder())); }

void frmConv::createJob() {
    AVC1 = std::make_unique<AVC>(Timer1);
    connect(AVC1.get(), &AVC::Converting, this, &frmConv::AVC1_Converting);
    connect(AVC1.get(), &AVC::Complete, this, &frmConv::AVC1_Complete);
    connect(AVC1.get(), &AVC::ErrorEvent, this, &frmConv::AVC1_ErrorEvent);
}

// The remembered text is set after the list is filled: filling an empty list would replace
// it by the first entry.
void frmConv::fillFormatList() {
    const QString remembered = storedFormat(*settings_());
    cmbFormat->clear();
    for (const std::string_view name : formatListEntries()) cmbFormat->addItem(qs(name));
    const int index = cmbFormat->findText(remembered, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cmbFormat->setCurrentIndex(index);
    if (index < 0) cmbFormat->setEditText(remembered);
}

// --- commands ---------------------------------------------------------------------------

void frmConv::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->hasUrls() ? event->mimeData()->urls() : QList<QUrl>();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmConv::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->hasUrls() ? event->mimeData()->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return event->ignore();
    txtFname->setText(QDir::toNativeSeparators(urls.first().toLocalFile()));
    event->acceptProposedAction();
}

// A cancelled dialog reports no file, and the box keeps what it holds.
void frmConv::cmdLoad_Click() {
    components::OpenFileDialogRequest request;
    request.initialFolder = browseFolder();
    request.filter = kFlvFilter;
    request.moreFilter = components::kMediaFilesFilter;
    const std::string chosen = components::showOpenFileDialog(request);
    if (!chosen.empty()) txtFname->setText(QString::fromStdString(chosen));
}

void frmConv::cmdConvert_Click() {
    if (txtFname->text().isEmpty()) {
        components::msgBox("Select FLV Video first!", Style::OkOnly + Style::Information, "Select File");
        return;
    }
    ConvertFLV(cmbFormat->currentText().toStdString(), txtFname->text().toStdString());
}

void frmConv::ConvertFLV(const std::string& FormatType, const std::string& SrcPath) {
    if (AVC1) convert::ConvertFLV(*AVC1, FormatType, SrcPath);
}

// --- job events -------------------------------------------------------------------------

void frmConv::AVC1_Converting() {
    const StatusStep step = statusStepAfter(ProgressStep);
    ProgressStep = step.next;
    pbConv->setValue(step.barValue);
    setStatus(QString::fromStdString(step.text), kStatusRed);
}

// ProgressStep stays: the next run's animation goes on from where this one stopped.
void frmConv::AVC1_Complete() {
    pbConv->setValue(0);
    setStatus(QString::fromLatin1(kCompleteText), kStatusGreen);
    if (!isActiveWindow()) ui::notifyDesktop(QStringLiteral("Zenvira"), tr("Conversion complete"));
}

void frmConv::AVC1_ErrorEvent(const std::string& ErrorMessage) {
    pbConv->setValue(0);  // the activity indicator stops with the run
    setStatus(QString::fromStdString(errorStatusText(ErrorMessage)), kStatusRed);
    if (!isActiveWindow())
        ui::notifyDesktop(QStringLiteral("Zenvira"), tr("Conversion failed: %1").arg(QString::fromStdString(ErrorMessage)));
    components::msgBox(ErrorMessage, Style::OkOnly, kApplicationTitle);
}

// --- unload -----------------------------------------------------------------------------

void frmConv::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// The profile text is remembered whatever it holds. The job goes with the window: a run still
// going is ended, and its encoder with what it started, so nothing outlives the window.
void frmConv::Form_Unload() {
    if (!loaded_ || std::exchange(unloaded_, true)) return;
    storeFormat(*settings_(), cmbFormat->currentText());
    AVC1.reset();
    Timer1->stop();
}

frmConv* showConverterWindow(QPointer<frmConv>& open, FrmConvSetup setup) {
    if (!open) {
        auto window = std::make_unique<frmConv>(std::move(setup));
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (!window->Form_Load()) return nullptr;
        open = window.release();
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

}  // namespace zenvira::convert
