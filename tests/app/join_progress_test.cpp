// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/join_progress.h"
#include "tests/app/main_dialog_fixture.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QProgressBar>

namespace kestrine::testing {
namespace {

constexpr MediaTime kSecond = kUnitsPerSecond;

struct ProgressCase {
    MediaTime total;
    MediaTime position;
    double elapsed;
    int percent;
    const char* summary;
};

TEST(JoinProgressTest, PercentAndTimeLeftFromTheFramesWritten)
{
    const ProgressCase cases[] = {
        {100 * kSecond, 0, 0.0, 0, "0 %"},
        {100 * kSecond, 0, 30.0, 0, "0 %"},                      // nothing written yet: no guess
        {100 * kSecond, 42 * kSecond, 10.0, 42, "42 % \u00b7 0:14 left"},
        {100 * kSecond, 50 * kSecond, 73.0, 50, "50 % \u00b7 1:13 left"},
        {3600 * kSecond, 360 * kSecond, 400.0, 10, "10 % \u00b7 1:00:00 left"},
        {100 * kSecond, 100 * kSecond, 80.0, 99, "99 % \u00b7 0:00 left"}, // all read, not yet done
        {100 * kSecond, 130 * kSecond, 80.0, 99, "99 % \u00b7 0:00 left"}, // past the end is the end
        {100 * kSecond, -5, 1.0, 0, "0 %"},
        {0, 0, 5.0, 0, "0 %"},
    };
    for (const ProgressCase& c : cases) {
        JoinProgress progress;
        progress.start(c.total);
        progress.update(c.position, c.elapsed);
        EXPECT_EQ(progress.percent(), c.percent) << c.position << " of " << c.total;
        EXPECT_EQ(progress.summaryText(), QString::fromUtf8(c.summary)) << c.position << " of " << c.total;
        EXPECT_FALSE(progress.isComplete());
    }
}

TEST(JoinProgressTest, OnlyCompletionReachesAHundredAndLaterReadingsDoNotUndoIt)
{
    JoinProgress progress;
    progress.start(10 * kSecond);
    progress.update(9 * kSecond, 9.0);
    EXPECT_EQ(progress.titleText(QStringLiteral("Kestrine")), QStringLiteral("90 % \u00b7 0:01 left \u2014 Kestrine"));
    progress.complete();
    progress.update(2 * kSecond, 12.0);
    EXPECT_EQ(progress.percent(), 100);
    EXPECT_EQ(progress.secondsLeft(), 0);
    EXPECT_EQ(progress.summaryText(), QStringLiteral("100 %"));

    progress.start(10 * kSecond);
    EXPECT_EQ(progress.percent(), 0);
    EXPECT_FALSE(progress.isComplete());
}

TEST(JoinProgressTest, ClockText)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0:00"}, {9, "0:09"}, {73, "1:13"}, {3599, "59:59"}, {3600, "1:00:00"}, {3725, "1:02:05"},
        {100 * 3600 + 1, "100:00:01"}, {-4, "0:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(JoinProgress::clockText(seconds), QString::fromLatin1(text)) << seconds;
}

class JoinProgressDialogTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        const QString output = QDir(folder.path()).filePath(QStringLiteral("joined.wav"));
        settings.writeText("Settings", "OutputName", output);
    }
    QProgressBar* bar() { return dialog().findChild<QProgressBar*>(QStringLiteral("joinProgress")); }
    void startJoin()
    {
        // 10 s and 30 s: 40 s in all.
        addThroughDialog({{makeFile("a.mp3"), 10 * kSecond}, {makeFile("b.mp3"), 30 * kSecond}});
        framework.setCurrentPosition(0);
        click(control::kJoin);
        ASSERT_TRUE(dialog().joining());
    }
    void complete()
    {
        framework.queueEvent({kEventComplete, 0, 0});
        ASSERT_TRUE(framework.fireNotify());
        QCoreApplication::sendPostedEvents(&dialog(), kGraphEventMessage);
    }
};

TEST_F(JoinProgressDialogTest, TheBarFollowsTheFramesWrittenAndReachesAHundredWithTheDoneLine)
{
    ASSERT_NE(bar(), nullptr);
    EXPECT_FALSE(bar()->isVisible());
    startJoin();
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_EQ(dialog().windowTitle(), QStringLiteral("0 % \u2014 Kestrine"));
    // Beside the status line, which keeps the clock.
    auto* status = dialog().findChild<QWidget*>(controlName(control::kStatusLine));
    EXPECT_LT(status->geometry().right(), bar()->geometry().left());
    EXPECT_EQ(status->geometry().top(), bar()->geometry().top());

    framework.setCurrentPosition(10 * kSecond);
    dialog().clockTick();
    EXPECT_EQ(bar()->value(), 25);
    EXPECT_TRUE(dialog().statusText().startsWith(QStringLiteral("Please wait... Used Time: 00:00:01")));
    EXPECT_TRUE(dialog().windowTitle().startsWith(QStringLiteral("25 % \u00b7 "))) << dialog().windowTitle().toStdString();
    EXPECT_TRUE(dialog().windowTitle().endsWith(QStringLiteral(" left \u2014 Kestrine")));
    EXPECT_TRUE(bar()->toolTip().contains(QStringLiteral(" left"))) << bar()->toolTip().toStdString();

    // Everything read but not yet written out: the bar waits at 99.
    framework.setCurrentPosition(40 * kSecond);
    dialog().clockTick();
    EXPECT_EQ(bar()->value(), 99);

    complete();
    EXPECT_FALSE(dialog().joining());
    EXPECT_TRUE(dialog().statusText().startsWith(QStringLiteral("Done. Output File: ")));
    // The bar goes with the join: the line about its end needs the room.
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(dialog().windowTitle(), QStringLiteral("Kestrine"));
}

// The clock ticks once a second; the bar must not wait for it. Timers fire
// in the order they fall due, however late a busy machine lets them, so the
// bar's own timer moves it while the clock still reads no second.
TEST_F(JoinProgressDialogTest, TheBarMovesBetweenTheClocksTicks)
{
    startJoin();
    framework.setCurrentPosition(20 * kSecond);
    int clockWhenTheBarMoved = -1;
    QObject::connect(bar(), &QProgressBar::valueChanged, bar(), [&](int value) {
        if (value == 50 && clockWhenTheBarMoved < 0)
            clockWhenTheBarMoved = dialog().elapsedSeconds();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return clockWhenTheBarMoved >= 0; }, 30'000)) << bar()->value();
    EXPECT_EQ(clockWhenTheBarMoved, 0) << "the bar moved only with the clock";
}

TEST_F(JoinProgressDialogTest, StoppingEarlyNeverShowsAHundred)
{
    startJoin();
    framework.setCurrentPosition(30 * kSecond);
    click(control::kJoin); // Stop
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(bar()->value(), 75);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(dialog().windowTitle(), QStringLiteral("Kestrine"));
}

TEST_F(JoinProgressDialogTest, TheListsSizeAndLengthFollowEveryEdit)
{
    dialog();
    EXPECT_TRUE(dialog().listSummary().isEmpty());
    addNamed({"A", "B", "C"}); // 1 s, 2 s, 3 s
    EXPECT_EQ(dialog().listSummary(), QStringLiteral("3 files \u00b7 0:06"));
    EXPECT_EQ(view()->headerItem()->toolTip(1), QStringLiteral("3 files \u00b7 0:06 in all"));

    view()->selectRows({2});
    click(control::kDeleteSelected);
    EXPECT_EQ(dialog().listSummary(), QStringLiteral("2 files \u00b7 0:03"));
    view()->selectRows({1});
    click(control::kDeleteSelected);
    EXPECT_EQ(dialog().listSummary(), QStringLiteral("1 file \u00b7 0:01"));
    click(control::kDeleteAll);
    EXPECT_TRUE(dialog().listSummary().isEmpty());
    EXPECT_TRUE(view()->headerItem()->toolTip(0).isEmpty());
}

} // namespace
} // namespace kestrine::testing
