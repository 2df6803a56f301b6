#pragma once
// The GUI's handler for the message-box seam: the classic style numbers become a QMessageBox
// and the button pressed comes back as a classic result number.
//   style = buttons (0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No,
//           5 Retry/Cancel) + icon (16 critical, 32 question, 48 exclamation, 64 information)
//           + default button (0 first, 256 second, 512 third)
//   result = 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No
#include <QMessageBox>
#include <memory>
#include <string>
#include <vector>

namespace zenvira::ui {

struct ClassicMsgBoxLayout {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons;  // left to right
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
};

ClassicMsgBoxLayout classicLayout(int style);
int classicResult(QMessageBox::StandardButton button);

// The dialog, ready to exec(); an empty title becomes the application's name.
std::unique_ptr<QMessageBox> buildMessageBox(const std::string& text, int style, const std::string& title,
                                             QWidget* parent = nullptr);

// Shows the dialog modally over the active window and returns the classic result.
int showQtMessageBox(const std::string& text, int style, const std::string& title);

// Routes every msgBox() of the program to showQtMessageBox.
void installQtMessageBoxHandler();

}  // namespace zenvira::ui
