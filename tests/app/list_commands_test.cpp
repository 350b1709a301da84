// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/maker_pages.h"
#include "controls/link_opening.h"
#include "tests/app/main_dialog_fixture.h"

#include <QCoreApplication>
#include <functional>

namespace kestrine::testing {
namespace {

class ListCommandsTest : public MainDialogTest {
protected:
    QStringList selectedNames()
    {
        QStringList names;
        for (int row : view()->selectedRows())
            names.append(rowNames().at(row));
        return names;
    }
    void doubleClickRow(int row)
    {
        const QPoint at = view()->visualItemRect(view()->topLevelItem(row)).center();
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
};

struct MoveCase {
    const char* name;
    int command;
    QList<int> selected;
    QStringList order;
};

void PrintTo(const MoveCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class MoveTest : public ListCommandsTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, MovesSelectedRowsAndKeepsThemSelected)
{
    const MoveCase& c = GetParam();
    addNamed({"A", "B", "C", "D"});
    QStringList wasSelected;
    selectRows(c.selected);
    wasSelected = selectedNames();
    button(control::kAdd)->setFocus();

    click(c.command);

    EXPECT_EQ(listedNames(), c.order);
    EXPECT_EQ(rowNames(), c.order);
    EXPECT_EQ(selectedNames(), wasSelected);
    EXPECT_EQ(dialog().focusWidget(), view());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    expectViewAndAudioListMatch();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MoveTest,
    ::testing::Values(MoveCase{"UpMiddlePair", control::kMoveUp, {1, 2}, {"B", "C", "A", "D"}},
                      MoveCase{"DownMiddlePair", control::kMoveDown, {1, 2}, {"A", "D", "B", "C"}},
                      MoveCase{"UpSpread", control::kMoveUp, {1, 3}, {"B", "A", "D", "C"}},
                      MoveCase{"DownSpread", control::kMoveDown, {0, 2}, {"B", "A", "D", "C"}},
                      MoveCase{"UpWithFirstRowMovesNothing", control::kMoveUp, {0, 2}, {"A", "B", "C", "D"}},
                      MoveCase{"DownWithLastRowMovesNothing", control::kMoveDown, {1, 3}, {"A", "B", "C", "D"}}),
    [](const ::testing::TestParamInfo<MoveCase>& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ListCommandsTest, CommandsWithoutASelectionAskForOne)
{
    addNamed({"A", "B", "C"});
    view()->clearSelection();
    for (int command : {control::kMoveUp, control::kMoveDown, control::kDeleteSelected})
        click(command);
    // A double click on an empty part of the list clears the selection too.
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, view()->viewport()->rect().bottomLeft() + QPoint(5, -5));
    ASSERT_EQ(dialogs.messages.size(), 4);
    for (const MessageRequest& message : dialogs.messages) {
        EXPECT_EQ(message.text, QStringLiteral("Please select items!"));
        EXPECT_EQ(message.caption, dialogs.applicationTitle());
    }
    EXPECT_EQ(listedNames(), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(shell.openedDocuments.isEmpty());
}

TEST_F(ListCommandsTest, TooShortOrEmptyListsAnswerNothing)
{
    addNamed({"A"});
    view()->clearSelection();
    click(control::kMoveUp);
    click(control::kMoveDown);
    click(control::kDeleteAll);
    click(control::kDeleteSelected);
    click(control::kDeleteAll);
    // No rows left: nothing to play and nothing to ask.
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, view()->viewport()->rect().center());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialog().clipList().count(), 0);
    expectViewAndAudioListMatch();
}

TEST_F(ListCommandsTest, DeleteSelectedRemovesExactlyThoseRows)
{
    addNamed({"A", "B", "C", "D", "E"});
    selectRows({1, 3});
    click(control::kDeleteSelected);
    EXPECT_EQ(listedNames(), QStringList({"A", "C", "E"}));
    expectViewAndAudioListMatch();
    EXPECT_EQ(dialog().clipList().at(1).duration, 3 * kSecond);

    selectRows({0, 2});
    QTest::keyClick(view(), Qt::Key_Delete);
    EXPECT_EQ(listedNames(), QStringList({"C"}));
    expectViewAndAudioListMatch();
}

TEST_F(ListCommandsTest, DeleteAllEmptiesListViewAndAudioList)
{
    addNamed({"A", "B", "C"});
    click(control::kDeleteAll);
    EXPECT_EQ(dialog().clipList().count(), 0);
    expectViewAndAudioListMatch();
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ListCommandsTest, PlayOpensEverySelectedFileInListOrder)
{
    addNamed({"A", "B", "C"});
    selectRows({0, 2});
    // Double-clicking one of the selected rows keeps the others selected.
    doubleClickRow(2);
    EXPECT_EQ(shell.openedDocuments, QStringList({dialog().clipList().at(0).path, dialog().clipList().at(2).path}));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    shell.openedDocuments.clear();
    doubleClickRow(1);
    EXPECT_EQ(shell.openedDocuments, QStringList({dialog().clipList().at(1).path}));
}

TEST_F(ListCommandsTest, PlayStopsAtAMissingFile)
{
    addNamed({"A", "B", "C"});
    const QString missing = dialog().clipList().at(1).path;
    ASSERT_TRUE(QFile::remove(missing));
    selectRows({0, 1, 2});
    emit view()->playRequested();
    EXPECT_EQ(shell.openedDocuments, QStringList({dialog().clipList().at(0).path}));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.front().text, missing + QStringLiteral(" does not exist!"));
    EXPECT_EQ(dialogs.messages.front().caption, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.messages.front().buttons, MessageButtons::Ok);
}

TEST_F(ListCommandsTest, HelpAndHomepageOpenTheirDocuments)
{
    click(control::kHelp);
    click(control::kHomepage);
    const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/Introduction.htm"));
    EXPECT_EQ(shell.openedDocuments, QStringList({help, homePageAddress()}));
    EXPECT_TRUE(shell.startedPrograms.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// With nothing on the desktop to open them, each command says what could not
// be opened and why, once, and plays nothing further.
TEST_F(ListCommandsTest, AnOpeningTheDesktopRefusesIsExplainedInABox)
{
    addNamed({"A", "B"});
    const struct {
        const char* name;
        std::function<void()> command;
        QString opened;
    } cases[] = {
        {"Help", [this] { click(control::kHelp); },
         QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/Introduction.htm"))},
        {"Homepage", [this] { click(control::kHomepage); }, homePageAddress()},
        {"Play",
         [this] {
             selectRows({0, 1});
             emit view()->playRequested();
         },
         dialog().clipList().at(0).path},
    };
    shell.openSucceeds = false;
    for (const auto& c : cases) {
        dialogs.messages.clear();
        shell.openedDocuments.clear();
        c.command();
        EXPECT_EQ(shell.openedDocuments, QStringList{c.opened}) << c.name;
        ASSERT_EQ(dialogs.messages.size(), 1) << c.name;
        const MessageRequest& box = dialogs.messages.front();
        EXPECT_EQ(box.text, QStringLiteral("Unable to open %1:\n\n%2").arg(c.opened, linkErrorMessage(kLinkNoAssociation)))
            << c.name;
        EXPECT_EQ(box.caption, dialogs.applicationTitle()) << c.name;
        EXPECT_EQ(box.icon, MessageIcon::Warning) << c.name;
    }
}

} // namespace
} // namespace kestrine::testing
