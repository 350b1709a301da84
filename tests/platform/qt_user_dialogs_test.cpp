// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/qt_user_dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

TEST(QtUserDialogsTest, TheSaveDialogAsksBeforeReplacingOnlyWhenTold)
{
    const struct {
        bool askToReplace;
        bool confirms;
    } cases[] = {{true, true}, {false, false}};
    for (const auto& c : cases) {
        SaveFileRequest request;
        request.askToReplace = c.askToReplace;
        const QFileDialog::Options options = QtUserDialogs::saveDialogOptions(request);
        EXPECT_EQ(!options.testFlag(QFileDialog::DontConfirmOverwrite), c.confirms)
            << c.askToReplace;
    }
}

// Enter takes the box's default answer and Escape always says No, so that a
// key pressed once too often never confirms what the user did not choose.
TEST(QtUserDialogsTest, EnterTakesTheDefaultAnswerAndEscapeSaysNo)
{
    const struct {
        MessageAnswer defaultAnswer;
        Qt::Key key;
        MessageAnswer expected;
    } cases[] = {
        {MessageAnswer::Yes, Qt::Key_Return, MessageAnswer::Yes},
        {MessageAnswer::No, Qt::Key_Return, MessageAnswer::No},
        {MessageAnswer::Yes, Qt::Key_Escape, MessageAnswer::No},
        {MessageAnswer::No, Qt::Key_Escape, MessageAnswer::No},
    };
    for (const auto& c : cases) {
        QtUserDialogs dialogs;
        bool pressed = false;
        // Presses the key in the box once it is up; gives up after a few seconds.
        QTimer poll;
        int attempts = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                if (++attempts > 200)
                    QApplication::closeAllWindows();
                return;
            }
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, c.key, Qt::NoModifier);
            QWidget* target = box->focusWidget() != nullptr ? box->focusWidget() : box;
            QApplication::sendEvent(target, &press);
            QApplication::sendEvent(target, &release);
            pressed = true;
            poll.stop();
        });
        poll.start(10);
        const MessageAnswer answer = dialogs.showMessage(
            {QStringLiteral("Close?"), QStringLiteral("t"), MessageIcon::Warning, MessageButtons::YesNo, c.defaultAnswer});
        ASSERT_TRUE(pressed);
        EXPECT_EQ(answer, c.expected) << static_cast<int>(c.defaultAnswer) << " " << c.key;
    }
}

} // namespace
} // namespace kestrine::testing
