// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QTimer>
#include <functional>

namespace kestrine::testing {
namespace {

class ListHistoryTest : public MainDialogTest {
public:
    // For the table of edits.
    using MainDialogTest::addNamed;
    using MainDialogTest::click;
    using MainDialogTest::view;

protected:
    // Keys reach the window's shortcuts only while it is the active window.
    void press(QKeyCombination keys)
    {
        dialog().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog()));
        QTest::keyClick(view(), keys.key(), keys.keyboardModifiers());
    }
    void undo() { press(Qt::CTRL | Qt::Key_Z); }
    void redo() { press(Qt::CTRL | Qt::SHIFT | Qt::Key_Z); }
    QStringList selectedNames()
    {
        QStringList names;
        for (int row : view()->selectedRows())
            names.append(rowNames().at(row));
        return names;
    }
    // Opens the list's context menu, triggers the entry whose text starts with
    // prefix and gives back that text; empty when there is none or it is off.
    QString triggerMenuEntry(const QString& prefix)
    {
        QString triggered;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr)
                return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith(prefix) && action->isEnabled())
                    chosen = action;
            }
            menu->close();
            if (chosen != nullptr) {
                triggered = chosen->text();
                chosen->trigger();
            }
        });
        emit view()->customContextMenuRequested(QPoint(5, 5));
        return triggered;
    }
};

struct EditCase {
    const char* name;
    std::function<void(ListHistoryTest&)> edit;
    QStringList after;
    QString undoText;
};

class UndoEditTest : public ListHistoryTest, public ::testing::WithParamInterface<EditCase> {
public:
    void addFromPlaylist()
    {
        const QString e = makeFile(QStringLiteral("E.mp3"));
        framework.setDuration(e.toStdString(), kSecond);
        dialogs.openAnswers.push_back({makeFile(QStringLiteral("list.m3u8"), "E.mp3\n")});
        command(control::kAddPlaylist);
    }
    void dropRows(const QVector<int>& rows, int before)
    {
        QModelIndexList indexes;
        for (int row : rows)
            indexes.append(view()->model()->index(row, 0));
        std::unique_ptr<QMimeData> data(view()->model()->mimeData(indexes));
        const QPoint at = view()->visualItemRect(view()->topLevelItem(before)).topLeft() + QPoint(5, 1);
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &enter);
        QDropEvent drop(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &drop);
    }
};

// Each edit of A, B, C, D (B and C selected) is taken back by Undo and
// made again by Redo, with the view, the join's copy and the selection along.
TEST_P(UndoEditTest, UndoRestoresTheListAndRedoMakesTheEditAgain)
{
    const EditCase& c = GetParam();
    addNamed({"A", "B", "C", "D"});
    selectRows({1, 2});
    const ClipList before = dialog().clipList();

    c.edit(*this);
    ASSERT_EQ(listedNames(), c.after);
    const ClipList after = dialog().clipList();
    const QStringList selectedAfter = selectedNames();
    EXPECT_EQ(triggerMenuEntry(QStringLiteral("Undo")), c.undoText);
    EXPECT_EQ(dialog().clipList(), before);
    EXPECT_EQ(selectedNames(), QStringList({"B", "C"}));
    expectViewAndAudioListMatch();

    redo();
    EXPECT_EQ(dialog().clipList(), after);
    EXPECT_EQ(selectedNames(), selectedAfter);
    expectViewAndAudioListMatch();

    undo();
    EXPECT_EQ(dialog().clipList(), before);
    expectViewAndAudioListMatch();
}

const EditCase kEdits[] = {
    {"Add", [](ListHistoryTest& t) { t.addNamed({"E"}); }, {"A", "B", "C", "D", "E"}, "Undo Add"},
    {"DeleteKey", [](ListHistoryTest& t) { QTest::keyClick(t.view(), Qt::Key_Delete); }, {"A", "D"},
     "Undo Delete"},
    {"DeleteAll", [](ListHistoryTest& t) { t.click(control::kDeleteAll); }, {}, "Undo Delete All"},
    {"MoveUp", [](ListHistoryTest& t) { t.click(control::kMoveUp); }, {"B", "C", "A", "D"}, "Undo Move"},
    {"MoveDown", [](ListHistoryTest& t) { t.click(control::kMoveDown); }, {"A", "D", "B", "C"}, "Undo Move"},
    {"Drag", [](ListHistoryTest& t) { static_cast<UndoEditTest&>(t).dropRows({1, 2}, 0); },
     {"B", "C", "A", "D"}, "Undo Move"},
    {"Playlist", [](ListHistoryTest& t) { static_cast<UndoEditTest&>(t).addFromPlaylist(); },
     {"A", "B", "C", "D", "E"}, "Undo Add"},
};
INSTANTIATE_TEST_SUITE_P(Edits, UndoEditTest, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<EditCase>& param) { return std::string(param.param.name); });

TEST_F(ListHistoryTest, UndoGoesBackStepByStepAndANewEditEndsRedo)
{
    addNamed({"A", "B"});
    addNamed({"C"});
    selectRows({0});
    click(control::kDeleteSelected);
    ASSERT_EQ(listedNames(), QStringList({"B", "C"}));

    undo();
    EXPECT_EQ(listedNames(), QStringList({"A", "B", "C"}));
    undo();
    EXPECT_EQ(listedNames(), QStringList({"A", "B"}));
    undo();
    EXPECT_EQ(listedNames(), QStringList());
    undo(); // nothing left to undo
    EXPECT_EQ(listedNames(), QStringList());
    expectViewAndAudioListMatch();

    redo();
    EXPECT_EQ(listedNames(), QStringList({"A", "B"}));
    click(control::kDeleteAll);
    redo(); // the redo of the C was dropped by the new edit
    EXPECT_EQ(listedNames(), QStringList());
    EXPECT_EQ(triggerMenuEntry(QStringLiteral("Redo")), QString());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
}

TEST_F(ListHistoryTest, CommandsThatChangeNothingLeaveNothingToUndo)
{
    addNamed({"A", "B"});
    selectRows({0});
    click(control::kMoveUp);    // the first row goes nowhere
    click(control::kDeleteAll); // the one real edit
    click(control::kDeleteAll); // empty already
    undo();
    EXPECT_EQ(listedNames(), QStringList({"A", "B"}));
    undo();
    EXPECT_EQ(listedNames(), QStringList());
}

// Undo of the list leaves a running join alone: it was built from the list
// as it was when it started.
TEST_F(ListHistoryTest, UndoDuringAJoinChangesOnlyTheList)
{
    addNamed({"A", "B"});
    click(control::kJoin);
    ASSERT_TRUE(dialog().joining());
    undo();
    EXPECT_TRUE(dialog().clipList().isEmpty());
    EXPECT_TRUE(dialog().joining());
    click(control::kJoin);
    EXPECT_FALSE(dialog().joining());
}

class KeysTest : public ListHistoryTest {};

TEST_F(KeysTest, ShortcutsRunTheirCommands)
{
    // Pressed on the list of A, B with one row selected.
    const struct {
        const char* name;
        QKeyCombination keys;
        int selected;
        std::function<bool()> ran;
    } cases[] = {
        {"CtrlO", Qt::CTRL | Qt::Key_O, 1, [this] { return dialogs.openRequests.size() == 1; }},
        {"Insert", QKeyCombination(Qt::Key_Insert), 1,
         [this] { return dialogs.openRequests.size() == 1; }},
        {"F1", QKeyCombination(Qt::Key_F1), 1,
         [this] { return shell.openedDocuments.size() + dialogs.messages.size() == 1; }},
        {"CtrlUp", Qt::CTRL | Qt::Key_Up, 1, [this] { return listedNames() == QStringList({"B", "A"}); }},
        {"CtrlDown", Qt::CTRL | Qt::Key_Down, 0,
         [this] { return listedNames() == QStringList({"B", "A"}); }},
        {"CtrlJ", Qt::CTRL | Qt::Key_J, 1, [this] { return dialog().joining(); }},
    };
    for (const auto& c : cases) {
        dialog_.reset();
        addNamed({"A", "B"});
        dialogs.openRequests.clear();
        dialogs.messages.clear();
        shell.openedDocuments.clear();
        selectRows({c.selected});
        view()->setFocus();
        press(c.keys);
        EXPECT_TRUE(c.ran()) << c.name << " " << listedNames().join(',').toStdString();
        if (dialog().joining())
            click(control::kJoin);
    }
}

TEST_F(KeysTest, CtrlCommaOpensOptions)
{
    dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog()));
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (QWidget* options = QApplication::activeModalWidget()) {
            opened = true;
            options->close();
        }
    });
    QTest::keyClick(&dialog(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_TRUE(opened);
}

TEST_F(KeysTest, TooltipsNameTheShortcuts)
{
    const struct {
        int id;
        const char* tip;
    } cases[] = {
        {control::kAdd, "Add audio or video files to list (Ctrl+O, Insert)"},
        {control::kOptions, "Customize output options (Ctrl+,)"},
        {control::kJoin, "Join the files to wav (Ctrl+J)"},
        {control::kHelp, "Help (F1)"},
        {control::kMoveUp, "Move item up (Ctrl+Up)"},
        {control::kMoveDown, "Move item down (Ctrl+Down)"},
        {control::kDeleteSelected, "Delete selected item (Delete)"},
        {control::kDeleteAll, "Delete all items"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(button(c.id)->toolTip(), QString::fromUtf8(c.tip)) << c.id;
}

TEST_F(KeysTest, AfterDeleteTheCursorIsOnTheRowThatTookItsPlace)
{
    const struct {
        QList<int> deleted;
        int cursor;
    } cases[] = {{{1}, 1}, {{1, 2}, 1}, {{3}, 2}, {{0, 1, 2, 3}, -1}};
    for (const auto& c : cases) {
        addNamed({"A", "B", "C", "D"});
        selectRows(c.deleted);
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Delete);
        ASSERT_EQ(dialog().clipList().count(), 4 - c.deleted.size());
        const QModelIndex current = view()->currentIndex();
        EXPECT_EQ(current.isValid() ? current.row() : -1, c.cursor) << c.deleted.front();
        // Only the cursor: another Delete asks for a choice instead of deleting.
        EXPECT_TRUE(view()->selectedRows().isEmpty());
        click(control::kDeleteAll);
    }
}

class JoinButtonTest : public MainDialogTest {
protected:
    void clickAt(std::int64_t at)
    {
        now = at;
        QTest::mouseClick(button(control::kJoin), Qt::LeftButton);
        waitForJoinStart(dialog());
    }
};

// Join and Stop share one button: a click that lands just as its caption
// changes was meant for the caption before.
TEST_F(JoinButtonTest, AClickSoonAfterTheCaptionChangedDoesNothing)
{
    addNamed({"A", "B"});
    now = 10'000;
    clickAt(10'000);
    ASSERT_TRUE(dialog().joining());
    clickAt(10'499); // a double click on Join
    EXPECT_TRUE(dialog().joining());
    clickAt(10'500);
    EXPECT_FALSE(dialog().joining());
    clickAt(10'900);
    EXPECT_FALSE(dialog().joining());
    clickAt(11'000);
    ASSERT_TRUE(dialog().joining());

    // The join ends on its own just before a click aimed at Stop.
    now = 20'000;
    framework.postEvent({kEventComplete, 0, 0});
    QCoreApplication::sendPostedEvents(&dialog(), kGraphEventMessage);
    ASSERT_FALSE(dialog().joining());
    clickAt(20'200);
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(framework.callCount(FakeOp::Run), 2);

    // The keyboard's Join is held off just the same.
    now = 20'300;
    QTest::keyClick(&dialog(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_FALSE(dialog().joining());
    now = 21'000;
    QTest::keyClick(&dialog(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_TRUE(dialog().joining());
    waitForJoinStart(dialog());
    clickAt(22'000);
}

} // namespace
} // namespace kestrine::testing
