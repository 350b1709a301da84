// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/html_handler_lookup.h"
#include "controls/link_label.h"
#include "controls/link_opening.h"
#include "tests/support/fake_shell.h"
#include "tests/support/recording_dialogs.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

using testing::FakeShell;
using testing::RecordingDialogs;

class FixedHandlerLookup : public HtmlHandlerLookup {
public:
    QString commandLine() const override
    {
        ++asked;
        return command;
    }
    QString command;
    mutable int asked = 0;
};

const QString kAddress = QStringLiteral("https://www.example.com/kestrine/index.htm");

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 200);
        link = new LinkLabel(QStringLiteral("Support Email: Click here"), shell, dialogs, &window);
        link->move(20, 20);
        link->setHtmlHandlerLookup(&handler);
    }

    void showWindow()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void hover() { QTest::mouseMove(link, QPoint(5, link->height() / 2)); }
    void moveAway() { QTest::mouseMove(&window, QPoint(390, 190)); }

    FakeShell shell;
    RecordingDialogs dialogs;
    FixedHandlerLookup handler;
    QWidget window;
    LinkLabel* link = nullptr;
};

TEST(LinkLabelColors, ColorRefsHaveRedInTheLowByte)
{
    EXPECT_EQ(LinkLabel::colorFromColorRef(LinkLabel::kLinkColorRef), QColor(0, 0, 238));
    EXPECT_EQ(LinkLabel::colorFromColorRef(LinkLabel::kVisitedColorRef), QColor(85, 26, 139));
    EXPECT_EQ(LinkLabel::colorFromColorRef(LinkLabel::kHoverColorRef), QColor(255, 0, 0));
}

TEST_F(LinkLabelTest, ColourFollowsHoverAndVisit)
{
    showWindow();
    EXPECT_EQ(link->textColor(), QColor(0, 0, 238));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 238));

    hover();
    ASSERT_TRUE(link->isOverControl());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(link->isVisited());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(85, 26, 139));

    moveAway();
    hover();
    EXPECT_EQ(link->textColor(), QColor(255, 0, 0));
}

struct UnderlineCase {
    int mode;
    bool idle;
    bool hovered;
    bool afterLeaving;
};

TEST_F(LinkLabelTest, UnderlineModes)
{
    showWindow();
    const std::vector<UnderlineCase> cases = {
        {LinkLabel::kUnderlineAlways, true, true, true},
        {LinkLabel::kUnderlineOnHover, false, true, false},
        {LinkLabel::kUnderlineNever, false, false, false},
    };
    for (const UnderlineCase& c : cases) {
        moveAway();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !link->isOverControl(); }, 2000));
        link->SetUnderlineMode(c.mode);
        EXPECT_EQ(link->underlineMode(), c.mode);
        EXPECT_EQ(link->isUnderlined(), c.idle) << "mode " << c.mode;
        hover();
        EXPECT_EQ(link->isUnderlined(), c.hovered) << "mode " << c.mode;
        moveAway();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !link->isOverControl(); }, 2000));
        EXPECT_EQ(link->isUnderlined(), c.afterLeaving) << "mode " << c.mode;
    }
}

TEST_F(LinkLabelTest, HoverEndsOnlyOnceTheCursorHasLeft)
{
    showWindow();
    hover();
    QTest::qWait(3 * LinkLabel::kHoverCheckIntervalMs);
    EXPECT_TRUE(link->isOverControl());
    moveAway();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !link->isOverControl(); }, 2000));
}

TEST_F(LinkLabelTest, ClickOpensTheAddressAndMarksItVisited)
{
    showWindow();
    link->SetAddress(kAddress);
    QSignalSpy activated(link, &LinkLabel::linkActivated);
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shell.openedDocuments, QStringList{kAddress});
    EXPECT_TRUE(shell.startedPrograms.isEmpty());
    EXPECT_TRUE(link->isVisited());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    ASSERT_EQ(activated.size(), 1);
    EXPECT_TRUE(activated.front().front().toBool());
}

TEST_F(LinkLabelTest, LabelWithoutAddressOpensItsOwnText)
{
    auto* bare = new LinkLabel(kAddress, shell, dialogs, &window);
    showWindow();
    QTest::mouseClick(bare, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(shell.openedDocuments, QStringList{kAddress});
}

TEST_F(LinkLabelTest, LabelWithoutTextShowsItsAddress)
{
    LinkLabel empty(shell, dialogs);
    empty.SetAddress(kAddress);
    EXPECT_EQ(empty.text(), kAddress);
    EXPECT_EQ(empty.toolTip(), kAddress);
}

TEST_F(LinkLabelTest, FallbackRunsTheWebPageHandlerWhenTheDesktopCannotOpen)
{
    shell.openSucceeds = false;
    handler.command = QStringLiteral("\"/opt/My Web/web\" --new-tab \"%1\"");
    const QString odd = QStringLiteral("https://www.example.com/a b;$(true)");
    EXPECT_GT(link->OpenAddress(odd), kLinkOpenedThreshold);
    ASSERT_EQ(shell.startedPrograms.size(), 1);
    EXPECT_EQ(shell.startedPrograms.front().first, QStringLiteral("/opt/My Web/web"));
    EXPECT_EQ(shell.startedPrograms.front().second,
              (QStringList{QStringLiteral("--new-tab"), odd}));
}

TEST_F(LinkLabelTest, FallbackIsNotAskedWhenTheDesktopOpens)
{
    handler.command = QStringLiteral("web %u");
    EXPECT_EQ(link->OpenAddress(kAddress), kLinkOpened);
    EXPECT_EQ(handler.asked, 0);
}

struct FailureCase {
    const char* name;
    const char* handlerCommand;
    bool handlerStarts;
    int expectedCode;
};

TEST_F(LinkLabelTest, FailedOpeningShowsWhyAndStaysUnvisited)
{
    showWindow();
    link->SetAddress(kAddress);
    const std::vector<FailureCase> cases = {
        {"no handler registered", "", true, kLinkNoAssociation},
        {"handler does not start", "web %u", false, kLinkFileNotFound},
    };
    for (const FailureCase& c : cases) {
        dialogs.messages.clear();
        shell.openSucceeds = false;
        shell.runSucceeds = c.handlerStarts;
        handler.command = QString::fromUtf8(c.handlerCommand);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_FALSE(link->isVisited()) << c.name;
        ASSERT_EQ(dialogs.messages.size(), 1) << c.name;
        EXPECT_EQ(dialogs.messages.front().text, linkErrorText(c.expectedCode)) << c.name;
        EXPECT_EQ(dialogs.messages.front().caption, dialogs.applicationTitle()) << c.name;
        EXPECT_EQ(dialogs.messages.front().icon, MessageIcon::Warning) << c.name;
    }
}

TEST_F(LinkLabelTest, PressOutsideThenReleaseInsideIsNoClick)
{
    showWindow();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(25, 25), QPointF(25, 25),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &release);
    EXPECT_TRUE(shell.openedDocuments.isEmpty());
}

TEST_F(LinkLabelTest, ShowsPointingHandAndAddressAsTip)
{
    link->SetAddress(kAddress);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->toolTip(), kAddress);
}

TEST_F(LinkLabelTest, ResizesToItsTextKeepingTheEdgeItIsAlignedTo)
{
    QFont underlined = link->font();
    underlined.setUnderline(true);
    const QSize text = QFontMetrics(underlined).size(0, link->text());

    // A label's own alignment is left and vertically centred.
    link->setGeometry(20, 20, 300, 60);
    link->SetAddress(kAddress);
    EXPECT_EQ(link->geometry(), QRect(QPoint(20, 20 + (60 - text.height()) / 2), text));

    link->setAlignment(Qt::AlignRight | Qt::AlignTop);
    link->setGeometry(20, 20, 300, 60);
    link->resizeToText();
    EXPECT_EQ(link->geometry().right(), 319);

    link->setAlignment(Qt::AlignCenter);
    link->setGeometry(20, 20, 300, 60);
    link->resizeToText();
    EXPECT_EQ(link->geometry().center().x(), QRect(20, 20, 300, 60).center().x());
    EXPECT_NEAR(link->geometry().center().y(), 50, 1);
}

} // namespace
} // namespace kestrine
