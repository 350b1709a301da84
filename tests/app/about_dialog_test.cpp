// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/about_dialog.h"
#include "app/maker_pages.h"
#include "controls/link_label.h"
#include "tests/support/fake_shell.h"
#include "tests/support/recording_dialogs.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

TEST(AboutDialog, ShowsNameVersionAndPurpose)
{
    testing::FakeShell shell;
    testing::RecordingDialogs dialogs;
    AboutDialog about(shell, dialogs);
    const QString name = about.findChild<QLabel*>(QStringLiteral("nameAndVersion"))->text();
    EXPECT_EQ(name, QStringLiteral("Kestrine ") + QStringLiteral(KESTRINE_VERSION));
    EXPECT_FALSE(QStringLiteral(KESTRINE_VERSION).isEmpty());
    EXPECT_FALSE(about.findChild<QLabel*>(QStringLiteral("purpose"))->text().isEmpty());
}

struct LinkCase {
    int id;
    QString text;
    QString address;
};

TEST(AboutDialog, LinksOpenTheMakersPages)
{
    const std::vector<LinkCase> cases = {
        {AboutDialog::kHomePageLinkId, QString::fromLatin1(kHomePageAddress),
         QString::fromLatin1(kHomePageAddress)},
        {AboutDialog::kContactLinkId, QStringLiteral("Support Email: Click here"),
         QString::fromLatin1(kContactPageAddress)},
    };
    for (const LinkCase& c : cases) {
        testing::FakeShell shell;
        testing::RecordingDialogs dialogs;
        AboutDialog about(shell, dialogs);
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        auto* link = about.findChild<LinkLabel*>(QStringLiteral("control%1").arg(c.id));
        ASSERT_NE(link, nullptr) << c.id;
        EXPECT_EQ(link->text(), c.text);
        EXPECT_EQ(link->address(), c.address);
        EXPECT_EQ(link->underlineMode(), LinkLabel::kUnderlineAlways);
        EXPECT_TRUE(link->isUnderlined());

        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_EQ(shell.openedDocuments, QStringList{c.address}) << c.id;
        EXPECT_TRUE(link->isVisited()) << c.id;
        EXPECT_TRUE(dialogs.messages.isEmpty()) << c.id;
    }
}

} // namespace
} // namespace kestrine
