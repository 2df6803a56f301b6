// The classic message-box numbers as Qt dialogs. The dialogs are built and inspected, never
// shown: no modal dialog runs in a test.
#include <gtest/gtest.h>

#include <QPushButton>

#include "ui/qt_msg_box.h"
#include "tests/support/test_application.h"

using namespace zenvira::ui;
using Buttons = std::vector<QMessageBox::StandardButton>;

TEST(QtMessageBox, StyleNumbersGiveButtonsIconAndDefault) {
    EXPECT_EQ(classicLayout(0).buttons, Buttons{QMessageBox::Ok});
    EXPECT_EQ(classicLayout(0).icon, QMessageBox::NoIcon);
    EXPECT_EQ(classicLayout(1).buttons, (Buttons{QMessageBox::Ok, QMessageBox::Cancel}));
    EXPECT_EQ(classicLayout(2).buttons, (Buttons{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}));
    EXPECT_EQ(classicLayout(3).buttons, (Buttons{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}));
    EXPECT_EQ(classicLayout(4).buttons, (Buttons{QMessageBox::Yes, QMessageBox::No}));
    EXPECT_EQ(classicLayout(5).buttons, (Buttons{QMessageBox::Retry, QMessageBox::Cancel}));
    EXPECT_EQ(classicLayout(6).buttons, Buttons{QMessageBox::Ok});  // no such group: OK only

    EXPECT_EQ(classicLayout(16).icon, QMessageBox::Critical);
    EXPECT_EQ(classicLayout(32 + 4).icon, QMessageBox::Question);
    EXPECT_EQ(classicLayout(48).icon, QMessageBox::Warning);
    EXPECT_EQ(classicLayout(64).icon, QMessageBox::Information);
    EXPECT_EQ(classicLayout(64 + 1).buttons.size(), 2u);  // the icon leaves the buttons alone

    EXPECT_EQ(classicLayout(4).defaultButton, QMessageBox::Yes);
    EXPECT_EQ(classicLayout(4 + 256).defaultButton, QMessageBox::No);
    EXPECT_EQ(classicLayout(3 + 512).defaultButton, QMessageBox::Cancel);
    EXPECT_EQ(classicLayout(0 + 512).defaultButton, QMessageBox::Ok);  // beyond the last: the last
}

TEST(QtMessageBox, ButtonsAnswerWithTheClassicNumbers) {
    EXPECT_EQ(classicResult(QMessageBox::Ok), 1);
    EXPECT_EQ(classicResult(QMessageBox::Cancel), 2);
    EXPECT_EQ(classicResult(QMessageBox::Abort), 3);
    EXPECT_EQ(classicResult(QMessageBox::Retry), 4);
    EXPECT_EQ(classicResult(QMessageBox::Ignore), 5);
    EXPECT_EQ(classicResult(QMessageBox::Yes), 6);
    EXPECT_EQ(classicResult(QMessageBox::No), 7);
}

TEST(QtMessageBox, TheDialogShowsWhatThePersonShouldRead) {
    testApplication();
    QCoreApplication::setApplicationName("Zenvira");
    const auto box = buildMessageBox("Process not completed: <b>HTTP 404</b>", 16 + 3 + 256, "Error");
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_EQ(box->text(), "Process not completed: <b>HTTP 404</b>");
    EXPECT_EQ(box->textFormat(), Qt::PlainText);  // markup in a server's words stays text
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    ASSERT_EQ(box->buttons().size(), 3);
    EXPECT_EQ(box->standardButton(box->defaultButton()), QMessageBox::No);
    EXPECT_EQ(buildMessageBox("x", 0, "")->windowTitle(), "Zenvira");
}
