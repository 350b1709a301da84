// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/qt_user_dialogs.h"

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

} // namespace
} // namespace kestrine::testing
