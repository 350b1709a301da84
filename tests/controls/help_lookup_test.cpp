// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

// A tree with bin/ for the executable, and the help wherever a case puts it.
class HelpLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("bin")));
    }
    QString path(const QString& relative) const { return QDir::cleanPath(root.filePath(relative)); }
    void putHelp(const QString& folder)
    {
        ASSERT_TRUE(QDir(root.path()).mkpath(folder));
        QFile page(path(folder + QStringLiteral("/Introduction.htm")));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    }

    QTemporaryDir root;
};

TEST_F(HelpLookupTest, BuildFolderHelpBesideTheExecutable)
{
    putHelp(QStringLiteral("bin/help"));
    putHelp(QStringLiteral("share/kestrine/help"));
    EXPECT_EQ(findHelpPage(path(QStringLiteral("bin"))).page,
              path(QStringLiteral("bin/help/Introduction.htm")));
}

TEST_F(HelpLookupTest, InstalledHelpUnderShare)
{
    putHelp(QStringLiteral("share/kestrine/help"));
    EXPECT_EQ(findHelpPage(path(QStringLiteral("bin"))).page,
              path(QStringLiteral("share/kestrine/help/Introduction.htm")));
}

TEST_F(HelpLookupTest, AFolderWithoutTheFirstPageDoesNotCount)
{
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("bin/help/Introduction.htm")));
    putHelp(QStringLiteral("share/kestrine/help"));
    EXPECT_EQ(findHelpPage(path(QStringLiteral("bin"))).page,
              path(QStringLiteral("share/kestrine/help/Introduction.htm")));
}

TEST_F(HelpLookupTest, MissingHelpNamesEveryFolderSearched)
{
    const HelpLookup lookup = findHelpPage(path(QStringLiteral("bin")));
    EXPECT_TRUE(lookup.page.isEmpty());
    const QStringList searched{path(QStringLiteral("bin/help")),
                               path(QStringLiteral("share/kestrine/help"))};
    EXPECT_EQ(lookup.searched, searched);
    EXPECT_EQ(missingHelpText(lookup),
              QStringLiteral(
                  "The help pages are missing: Introduction.htm is in none of these folders:\n") +
                  searched.join(u'\n'));
}

} // namespace
} // namespace kestrine
