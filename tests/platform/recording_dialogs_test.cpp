// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/recording_dialogs.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

TEST(RecordingDialogsTest, StandardBoxUsesTheApplicationTitleAndOk)
{
    RecordingDialogs dialogs;
    dialogs.inform(QStringLiteral("Please select items!"));
    dialogs.showError(QStringLiteral("Could not create timeline"));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("kestrine"));
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.messages[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.texts(),
              QStringList({"Please select items!", "Could not create timeline"}));
}

TEST(RecordingDialogsTest, YesNoAnswersComeFromTheScriptThenDefaultToNo)
{
    RecordingDialogs dialogs;
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    const MessageRequest question{"replace?", "Warning", MessageIcon::Warning,
                                  MessageButtons::YesNo};
    EXPECT_EQ(dialogs.showMessage(question), MessageAnswer::Yes);
    EXPECT_EQ(dialogs.showMessage(question), MessageAnswer::No);
}

} // namespace
} // namespace kestrine::testing
