// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/status_line.h"
#include "output/output_settings_dialog.h"
#include "tests/app/main_dialog_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

namespace kestrine::testing {
namespace {

const QChar kEllipsis(0x2026);

class StatusLineTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        // Deep enough that the line cannot show it whole at the start size.
        output = QDir(folder.path())
                     .filePath(QStringLiteral("a folder with a rather long name/").repeated(4) +
                               QStringLiteral("joined.wav"));
        // A join into a folder that does not exist is refused before it starts.
        QDir().mkpath(QFileInfo(output).absolutePath());
        settings.writeText("Settings", "OutputName", output);
    }
    StatusLine* line()
    {
        return dialog().findChild<StatusLine*>(controlName(control::kStatusLine));
    }
    QProgressBar* bar()
    {
        return dialog().findChild<QProgressBar*>(QStringLiteral("joinProgress"));
    }
    void startJoin()
    {
        addNamed({"A", "B"}); // 1 s and 2 s
        click(control::kJoin);
        ASSERT_TRUE(dialog().joining());
    }
    void endWith(int eventCode, MediaResult code = result::kOk)
    {
        framework.postEvent({eventCode, code, 0});
        QCoreApplication::sendPostedEvents(&dialog(), kGraphEventMessage);
        ASSERT_FALSE(dialog().joining());
    }

    QString output;
};

enum class Ending { Complete, Stop, Failure };

struct EndingCase {
    friend void PrintTo(const EndingCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    Ending ending;
    const char* words; // what comes before the path, whole
    const char* after; // what comes after it, whole
};

class JoinEndingLineTest : public StatusLineTest,
                           public ::testing::WithParamInterface<EndingCase> {};

// The progress bar goes with the join, and the line about its end keeps every
// word: only the path gives way, and the tooltip has it all.
TEST_P(JoinEndingLineTest, TheBarGoesAndOnlyThePathIsShortened)
{
    const EndingCase& c = GetParam();
    const QRect fullLine = line()->geometry();
    ASSERT_NO_FATAL_FAILURE(startJoin());
    ASSERT_TRUE(bar()->isVisible());
    ASSERT_LT(line()->width(), fullLine.width());
    switch (c.ending) {
    case Ending::Complete:
        ASSERT_NO_FATAL_FAILURE(endWith(kEventComplete));
        break;
    case Ending::Stop:
        click(control::kJoin);
        break;
    case Ending::Failure:
        ASSERT_NO_FATAL_FAILURE(endWith(kEventErrorAbort, result::kDiskFull));
        break;
    }
    ASSERT_FALSE(dialog().joining());

    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(line()->geometry(), fullLine);
    const QString full = QString::fromUtf8(c.words) + output + QString::fromUtf8(c.after);
    ASSERT_EQ(dialog().statusText(), full);
    const QString shown = line()->displayedText();
    EXPECT_TRUE(shown.startsWith(QString::fromUtf8(c.words) + output.left(1)))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/joined.wav") + QString::fromUtf8(c.after)))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(kEllipsis)) << shown.toStdString();
    EXPECT_TRUE(line()->toolTip().startsWith(full)) << line()->toolTip().toStdString();
}

const EndingCase kEndings[] = {
    {"Completed", Ending::Complete, "Done. Output File: ", ""},
    {"Stopped", Ending::Stop, "Stopped. No file was written to ", "."},
    // The box says what went wrong; the line is the one of an idle window.
    {"Failed", Ending::Failure, "Output File: ", ""},
};
INSTANTIATE_TEST_SUITE_P(JoinEnds, JoinEndingLineTest, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<EndingCase>& param) {
                             return std::string(param.param.name);
                         });

class EditAfterJoinTest;

struct EditCase {
    friend void PrintTo(const EditCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::function<void(EditAfterJoinTest&)> edit;
    const char* summary; // the list's summary afterwards
};

class EditAfterJoinTest : public StatusLineTest, public ::testing::WithParamInterface<EditCase> {
public:
    using StatusLineTest::addNamed;
    using StatusLineTest::changeOutputThroughOptions;
    using StatusLineTest::click;
    using StatusLineTest::dialog;
    using StatusLineTest::view;
    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }
};

// Once the list or the output changes, the line about the last join is old
// news: the line names the output again, with the list's summary.
TEST_P(EditAfterJoinTest, TheLineNamesTheOutputAndTheListAgain)
{
    ASSERT_NO_FATAL_FAILURE(startJoin());
    ASSERT_NO_FATAL_FAILURE(endWith(kEventComplete));
    ASSERT_TRUE(dialog().statusText().startsWith(QStringLiteral("Done. ")));

    GetParam().edit(*this);
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Output File: ") + dialog().outputPath());
    EXPECT_EQ(dialog().listSummary(), QString::fromUtf8(GetParam().summary));
    EXPECT_FALSE(bar()->isVisible());
}

const EditCase kEdits[] = {
    {"Add", [](EditAfterJoinTest& t) { t.addNamed({"C"}); }, "3 files \u00b7 0:04"},
    {"DeleteSelected",
     [](EditAfterJoinTest& t) {
         t.view()->selectRows({0});
         t.click(control::kDeleteSelected);
     },
     "1 file \u00b7 0:02"},
    {"DeleteAll", [](EditAfterJoinTest& t) { t.click(control::kDeleteAll); }, ""},
    {"MoveDown",
     [](EditAfterJoinTest& t) {
         t.view()->selectRows({0});
         t.click(control::kMoveDown);
     },
     "2 files \u00b7 0:03"},
    {"Drag", [](EditAfterJoinTest& t) { t.dialog().moveRowsTo({0}, 2); }, "2 files \u00b7 0:03"},
    {"Options",
     [](EditAfterJoinTest& t) {
         t.changeOutputThroughOptions(t.inFolder(QStringLiteral("other.mp3")));
     },
     "2 files \u00b7 0:03"},
};
INSTANTIATE_TEST_SUITE_P(Edits, EditAfterJoinTest, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<EditCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(StatusLineTest, AMoveThatMovesNothingKeepsTheLineAboutTheJoin)
{
    ASSERT_NO_FATAL_FAILURE(startJoin());
    ASSERT_NO_FATAL_FAILURE(endWith(kEventComplete));
    view()->selectRows({0});
    click(control::kMoveUp);
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Done. Output File: ") + output);
}

TEST_F(StatusLineTest, AnEditDuringAJoinLeavesTheClockAndTheBar)
{
    ASSERT_NO_FATAL_FAILURE(startJoin());
    dialog().clockTick();
    addNamed({"C"});
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:01"));
    EXPECT_TRUE(dialog().listSummary().isEmpty());
    EXPECT_TRUE(bar()->isVisible());
}

struct ElisionCase {
    const char* name;
    const char* words;
    const char* path;
    const char* after;
};

TEST(StatusLineElision, TheWordsAroundThePathStayWhole)
{
    const ElisionCase cases[] = {
        {"done", "Done. Output File: ", "/home/someone/Music/long folder/joined.wav", ""},
        {"stopped", "Stopped. Output File: ", "/home/someone/Music/long folder/joined.mp3",
         " holds the first 0:12:49."},
        {"windows", "Done. Output File: ", "C:\\Users\\someone\\Music\\long folder\\joined.wav",
         ""},
        {"no folder", "Stopped. No file was written to ", "a-file-name-without-any-folder.wav",
         "."},
    };
    const QFontMetrics metrics(QApplication::font());
    for (const ElisionCase& c : cases) {
        const QString words = QString::fromUtf8(c.words);
        const QString path = QString::fromUtf8(c.path);
        const QString after = QString::fromUtf8(c.after);
        const QString text = words + path + after;
        EXPECT_EQ(elideStatusText(text, path, metrics, metrics.horizontalAdvance(text)), text)
            << c.name;
        const int width =
            metrics.horizontalAdvance(words + after) + metrics.horizontalAdvance(path) / 2;
        const QString shown = elideStatusText(text, path, metrics, width);
        EXPECT_TRUE(shown.startsWith(words)) << c.name << ": " << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(after)) << c.name << ": " << shown.toStdString();
        EXPECT_TRUE(shown.contains(kEllipsis)) << c.name << ": " << shown.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(shown), width) << c.name;
        const QString fileName =
            path.mid(std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')));
        if (fileName != path) {
            EXPECT_TRUE(shown.endsWith(fileName + after)) << c.name << ": " << shown.toStdString();
        }
    }
}

TEST(StatusLineElision, TooLittleRoomCutsTheEndAndNeverOverflows)
{
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/home/someone/joined.wav");
    const QString text = QStringLiteral("Done. Output File: ") + path;
    for (const int width :
         {0, 10, metrics.horizontalAdvance(QStringLiteral("Done. Output File: "))}) {
        const QString shown = elideStatusText(text, path, metrics, width);
        EXPECT_LE(metrics.horizontalAdvance(shown),
                  std::max(width, metrics.horizontalAdvance(kEllipsis)))
            << width;
        // Whatever shows is the start of the line.
        const QString kept = QString(shown).remove(kEllipsis);
        EXPECT_TRUE(text.startsWith(kept)) << shown.toStdString();
    }
    // A path the text does not hold: the text is cut at its end.
    const QString other = elideStatusText(text, QStringLiteral("/elsewhere"), metrics, 60);
    EXPECT_LE(metrics.horizontalAdvance(other), 60);
    EXPECT_TRUE(text.startsWith(QString(other).remove(kEllipsis)));
}

} // namespace
} // namespace kestrine::testing
