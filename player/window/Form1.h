#pragma once
// Form1: the player window. It plays one local FLV video at a time in a Flash control (the
// libmpv stand-in), loading the player movie from a copy in the temporary folder with the
// video's path in the movie's address. A video arrives as the process's argument text when the
// window loads, through the Open button, or dropped on the window. Loading also makes the
// program the opener of .flv files. Layout upkeep, full screen and restore follow the window's
// size in twips (player_layout.h).
//
// Open it modelessly; it deletes itself when closed:
//     auto* player = new zenvira::player::Form1(zenvira::player::processArgumentText());
//     player->show();
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "player/window/player_layout.h"

class QTimer;

namespace zenvira::components {
class FlashPlayerControl;
}

namespace zenvira::player {

class PictureBox;

// What the load would otherwise take from the machine; tests set it.
struct Form1Setup {
    std::optional<TwipsPerPixel> twipsPerPixel;  // absent: the screen's
    std::string temporaryFolder;                 // empty: the system's (ending with its separator)
    std::optional<int> movieNumber;              // absent: drawn from the time of day
    std::string executablePath;                  // empty: the running executable
};

class Form1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs its load; `argumentText` is played when not empty.
    explicit Form1(std::string argumentText = {}, Form1Setup setup = {}, QWidget* parent = nullptr);
    ~Form1() override;

    // Writes the application resource "CUSTOM" `ress` to the file `nom_fich`; false, with the
    // reason in `error`, when there is no such resource or the file cannot be written.
    bool extractress(int ress, const std::string& nom_fich, std::string& error);
    // Plays `flvfile` in a fresh Flash instance and returns the window to its default size.
    void GotADrop(const std::string& flvfile);

    // Handlers, named after control and event.
    void OpenFile_Click();
    void fullscreen_Click();
    void restorepic_Click();
    void Timer1_Timer();

    // The window's state, for the main window and tests.
    const std::string& moviefile() const { return moviefile_; }
    components::FlashPlayerControl* ctrl() const { return ctrl_; }
    const std::vector<std::string>& skippedLoadSteps() const { return skippedLoadSteps_; }
    const QString& lastFSCommand() const { return lastFSCommand_; }
    TwipsPerPixel twipsPerPixel() const { return tpp_; }
    TwipsSize windowSize() const;             // Width and Height: the outer size
    // What the bar and the video are placed against: the outer width, but the height inside
    // the frame, so the bottom bar is never partly under the window system's frame.
    TwipsSize layoutSize() const;
    void setWindowSize(TwipsSize size);
    int frameWidth() const;                   // Width - ScaleWidth
    bool inFullScreenLayout() const { return fullScreenLayout_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Form_Load(const std::string& argumentText, const Form1Setup& setup);
    void Form_Unload();
    void Form_Resize();
    void ctrl_FSCommand(const QString& command, const QString& args);

    void buildControls();
    void loadStep(const char* name, bool done);
    std::string chooseMovieFile(const std::string& folder, std::optional<int> number) const;
    void createIdleInstance();
    components::FlashPlayerControl* replaceFlashInstance();
    void placeVideo(const VideoArea& area);
    void sizeVideo(int width, int height);
    void place(QWidget* control, const TwipsRect& rect);
    void keepControlsAboveVideo();
    void followMaximisedState();
    void setDefaultSize();

    TwipsPerPixel tpp_;
    std::string exe_;
    std::string moviefile_;
    components::FlashPlayerControl* ctrl_ = nullptr;
    std::vector<std::string> skippedLoadSteps_;
    QString lastFSCommand_;
    int savedWidth_ = 0;
    int savedHeight_ = 0;
    bool layoutBusy_ = false;
    bool fullScreenLayout_ = false;
    bool fullScreenWhileMaximised_ = false;  // the window system keeps the size, not we
    bool defaultSizeAwaitsFrame_ = false;
    bool unloaded_ = false;

    PictureBox* Picture3 = nullptr;
    PictureBox* OpenFile = nullptr;
    PictureBox* fullscreen = nullptr;
    PictureBox* restorepic = nullptr;
    PictureBox* dragpic = nullptr;
    QTimer* Timer1 = nullptr;
};

}  // namespace zenvira::player
