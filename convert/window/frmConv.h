#pragma once
// frmConv: the converter window. The user picks an FLV file and an output profile and starts
// the conversion; the window owns the conversion job AVC1, lends it Timer1, and turns the
// job's events into the status animation. The profile chosen last is remembered per user.
//
// Open it modelessly, one at a time; it deletes itself when closed:
//     QPointer<zenvira::convert::frmConv> converter;   // held by the opener
//     zenvira::convert::showConverterWindow(converter);
// Closing it during a run ends that run: the job goes with the window, and the job's end
// ends and reaps its encoder.
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "convert/window/converter_settings.h"
#include "ui/fixed_size_window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zenvira::convert {

class AVC;

// What the window would otherwise take from the machine; tests set it.
struct FrmConvSetup {
    std::optional<ui::TwipsPerPixel> twipsPerPixel;  // absent: the screen's
    SettingsFactory settings;                            // empty: the user's own settings
};

class frmConv : public ui::FixedSizeWindow {
    Q_OBJECT
public:
    explicit frmConv(FrmConvSetup setup = {}, QWidget* parent = nullptr);
    ~frmConv() override;

    // The encoder check (with the offer to fetch it), the skin, a fresh job, the remembered
    // profile and the profile list. False when the window is not to be shown: the encoder was
    // just fetched, and the user opens the window again to use it.
    bool Form_Load();

    // Handlers, named after control and event.
    void cmdLoad_Click();
    void cmdConvert_Click();
    void AVC1_Converting();
    void AVC1_Complete();
    void AVC1_ErrorEvent(const std::string& ErrorMessage);

    // The named profile's conversion of `SrcPath` on AVC1.
    void ConvertFLV(const std::string& FormatType, const std::string& SrcPath);

    AVC* job() const { return AVC1.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    // A file dropped on the window goes into the file box, as Browse would put it there.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    QLabel* makeLabel(std::string_view name, const QFont& font);
    QPushButton* makeButton(std::string_view name);
    void place(QWidget* control, std::string_view name);
    void wireControls();

    void LoadSkin();
    void createJob();
    void fillFormatList();
    void setStatus(const QString& text, std::uint32_t rgb);
    void Form_Unload();

    SettingsFactory settings_;
    bool loaded_ = false;
    bool unloaded_ = false;

    QLabel* Label2 = nullptr;
    QLineEdit* txtFname = nullptr;
    QPushButton* cmdLoad = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbFormat = nullptr;
    QPushButton* cmdConvert = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* pbConv = nullptr;
    QTimer* Timer1 = nullptr;

    std::unique_ptr<AVC> AVC1;
    std::int16_t ProgressStep = 0;
};

// Shows the one converter window: the one `open` holds while it is open, or a new one,
// loaded first and then held there. Null when the load ended the window (the encoder was
// just fetched).
frmConv* showConverterWindow(QPointer<frmConv>& open, FrmConvSetup setup = {});

}  // namespace zenvira::convert
