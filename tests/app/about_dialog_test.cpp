// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/about_dialog.h"
#include "app/maker_pages.h"
#include "controls/link_label.h"
#include "tests/support/fake_shell.h"
#include "tests/support/recording_dialogs.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
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
    const QString purpose = about.findChild<QLabel*>(QStringLiteral("purpose"))->text();
    EXPECT_TRUE(purpose.contains(QStringLiteral("into one WAV, FLAC, MP3, Opus, M4A, M4B audiobook or AIFF file"))) << purpose.toStdString();
    EXPECT_FALSE(purpose.contains(QStringLiteral("one WAV file"))) << purpose.toStdString();
}

struct LinkCase {
    int id;
    QString text;
    QString address;
};

TEST(AboutDialog, LinksOpenTheMakersPages)
{
    const std::vector<LinkCase> cases = {
        {AboutDialog::kHomePageLinkId, homePageText(), homePageAddress()},
        {AboutDialog::kContactLinkId, QStringLiteral("Support Email: Click here"), contactPageAddress()},
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

TEST(AboutDialog, ALinkNothingCanOpenIsExplainedInABox)
{
    testing::FakeShell shell;
    testing::RecordingDialogs dialogs;
    shell.openSucceeds = false;
    shell.runSucceeds = false;
    AboutDialog about(shell, dialogs);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    auto* link = about.findChild<LinkLabel*>(QStringLiteral("control%1").arg(AboutDialog::kContactLinkId));
    ASSERT_NE(link, nullptr);
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().text.startsWith(QStringLiteral("Unable to open hyperlink:\n\n")));
    EXPECT_FALSE(link->isVisited());
}

TEST(MakerPages, WithoutAnAddressTheHelpsAboutPageStandsIn)
{
    const QString about = helpPagePath(QStringLiteral("about.htm"));
    const std::vector<std::pair<QString, QString>> cases = {
        {QString(), about},
        {QStringLiteral("   "), about},
        {QStringLiteral("https://kestrine.test/"), QStringLiteral("https://kestrine.test/")},
        {QStringLiteral(" mailto:help@kestrine.test "), QStringLiteral("mailto:help@kestrine.test")},
    };
    for (const auto& [configured, expected] : cases)
        EXPECT_EQ(makerPageAddress(configured), expected) << configured.toStdString();
}

TEST(MakerPages, TheHelpsAboutPageSaysWhichKestrineAndWhereToReport)
{
    const QString about = helpPagePath(QStringLiteral("about.htm"));
    if (homePageAddress() != about)
        GTEST_SKIP() << "this build names a home page of its own";
    EXPECT_EQ(homePageAddress(), about);
    EXPECT_EQ(contactPageAddress(), about);
    QFile page(about);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << about.toStdString();
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("Kestrine ") + QStringLiteral(KESTRINE_VERSION)));
    EXPECT_TRUE(html.contains(QStringLiteral("MIT licence")));
    EXPECT_TRUE(html.contains(QStringLiteral("Reporting a problem")));
    EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("@[A-Z_]+@")))) << "a value was left unfilled";
}

} // namespace
} // namespace kestrine
