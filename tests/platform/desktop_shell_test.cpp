// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/desktop_shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

TEST(DesktopShellTest, FileTestsTellMissingFilesFromFoldersFromFiles)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    QFile file(dir.filePath(QStringLiteral("file.wav")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(dir.mkdir(QStringLiteral("folder.wav")));

    const struct {
        const char* name;
        bool exists;
        bool regular;
        bool readable;
    } cases[] = {
        {"file.wav", true, true, true},
        {"folder.wav", true, false, false},
        {"missing.wav", false, false, false},
    };
    DesktopShell shell;
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        EXPECT_EQ(shell.fileExists(path), c.exists) << c.name;
        EXPECT_EQ(shell.isRegularFile(path), c.regular) << c.name;
        EXPECT_EQ(shell.canOpenForReading(path), c.readable) << c.name;
    }
}

} // namespace
} // namespace kestrine::testing
