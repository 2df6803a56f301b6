#include "ui/qt_msg_box.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>

#include "components/msg_box/msg_box.h"

namespace zenvira::ui {

namespace {

using Button = QMessageBox::StandardButton;

std::vector<Button> buttonGroup(int group) {
    switch (group) {
        case 1: return {QMessageBox::Ok, QMessageBox::Cancel};
        case 2: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
        case 3: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
        case 4: return {QMessageBox::Yes, QMessageBox::No};
        case 5: return {QMessageBox::Retry, QMessageBox::Cancel};
        default: return {QMessageBox::Ok};
    }
}

QMessageBox::Icon iconOf(int iconBits) {
    switch (iconBits) {
        case components::MsgBoxStyle::Critical: return QMessageBox::Critical;
        case components::MsgBoxStyle::Question: return QMessageBox::Question;
        case components::MsgBoxStyle::Exclamation: return QMessageBox::Warning;
        case components::MsgBoxStyle::Information: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// A dialog closed without a button (Escape, the frame's close box) counts as Cancel where
// there is one, else as the first button.
Button answerWithoutButton(const ClassicMsgBoxLayout& layout) {
    const bool hasCancel = std::find(layout.buttons.begin(), layout.buttons.end(), QMessageBox::Cancel) !=
                           layout.buttons.end();
    return hasCancel ? QMessageBox::Cancel : layout.buttons.front();
}

}  // namespace

ClassicMsgBoxLayout classicLayout(int style) {
    ClassicMsgBoxLayout layout;
    layout.buttons = buttonGroup(style & 0x7);
    layout.icon = iconOf(style & 0x70);
    const auto defaultIndex = static_cast<std::size_t>((style & 0x300) >> 8);
    layout.defaultButton = layout.buttons[std::min(defaultIndex, layout.buttons.size() - 1)];
    return layout;
}

int classicResult(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok: return 1;
        case QMessageBox::Cancel: return 2;
        case QMessageBox::Abort: return 3;
        case QMessageBox::Retry: return 4;
        case QMessageBox::Ignore: return 5;
        case QMessageBox::Yes: return 6;
        case QMessageBox::No: return 7;
        default: return 2;
    }
}

std::unique_ptr<QMessageBox> buildMessageBox(const std::string& text, int style, const std::string& title,
                                             QWidget* parent) {
    const ClassicMsgBoxLayout layout = classicLayout(style);
    auto box = std::make_unique<QMessageBox>(parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    box->setWindowTitle(title.empty() ? QCoreApplication::applicationName() : QString::fromStdString(title));
    box->setIcon(layout.icon);
    for (const Button button : layout.buttons) box->addButton(button);
    box->setDefaultButton(layout.defaultButton);
    return box;
}

int showQtMessageBox(const std::string& text, int style, const std::string& title) {
    const auto box = buildMessageBox(text, style, title, QApplication::activeWindow());
    box->exec();
    const Button pressed = box->standardButton(box->clickedButton());
    return classicResult(pressed != QMessageBox::NoButton ? pressed : answerWithoutButton(classicLayout(style)));
}

void installQtMessageBoxHandler() { components::setMsgBoxHandler(showQtMessageBox); }

}  // namespace zenvira::ui
