// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSignalSpy>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace kestrine::testing {
namespace {

// Holds the calls of chosen operations on chosen files until the test lets
// go, or until a limit, so that code which waits for them on the window's
// thread comes back late instead of never.
class Hold {
public:
    static constexpr auto kLimit = std::chrono::seconds(5);

    void add(const std::string& path)
    {
        const std::lock_guard lock(mutex_);
        held_.insert(path);
    }
    void letGo()
    {
        {
            const std::lock_guard lock(mutex_);
            free_ = true;
        }
        released_.notify_all();
    }
    bool heldTooLong() const
    {
        const std::lock_guard lock(mutex_);
        return heldTooLong_;
    }
    void waitIfHeld(const std::string& path)
    {
        std::unique_lock lock(mutex_);
        if (!held_.contains(path))
            return;
        if (!released_.wait_for(lock, kLimit, [this] { return free_; }))
            heldTooLong_ = true;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::set<std::string> held_;
    bool free_ = false;
    bool heldTooLong_ = false;
};

class AddMeasuringTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        // Measuring a file renders it in a graph of its own.
        framework.setBeforeCall([this](FakeOp op, const std::string& path) {
            if (op == FakeOp::RenderFile)
                held.waitIfHeld(path);
        });
    }
    void TearDown() override
    {
        held.letGo();
    }
    // Clicks Add without waiting for the measuring it starts.
    void clickAdd(const QStringList& paths)
    {
        dialogs.openAnswers.push_back(paths);
        QTest::mouseClick(button(control::kAdd), Qt::LeftButton);
    }
    QStringList files(int count, bool holdAll)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths.append(makeFile(QStringLiteral("%1.mp3").arg(i)));
            framework.setDuration(paths.back().toStdString(), (i + 1) * kSecond);
            if (holdAll || i > 0)
                held.add(paths.back().toStdString());
        }
        return paths;
    }

    Hold held;
};

// Add hands the files to the measuring and returns; the window goes on
// answering, and the files are listed when their lengths come back.
TEST_F(AddMeasuringTest, AddReturnsAtOnceAndListsTheFilesWhenTheirLengthsComeBack)
{
    const QStringList paths = files(2, true);
    QSignalSpy added(&dialog(), &MainDialog::addFinished);
    clickAdd(paths);

    EXPECT_FALSE(held.heldTooLong()) << "Add waited for the measuring";
    EXPECT_TRUE(dialog().measuring());
    EXPECT_EQ(dialog().clipList().count(), 0);
    EXPECT_EQ(added.count(), 0);
    // Closing waits, without a word, until the files are in.
    QTest::mouseClick(button(control::kExit), Qt::LeftButton);
    EXPECT_TRUE(dialog().isVisible());

    held.letGo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return added.count() == 1; }, 10'000));
    EXPECT_FALSE(dialog().measuring());
    ASSERT_EQ(dialog().clipList().count(), 2);
    EXPECT_EQ(dialog().clipList().at(0), (ClipItem{paths[0], kSecond}));
    EXPECT_EQ(dialog().clipList().at(1), (ClipItem{paths[1], 2 * kSecond}));
    expectViewAndAudioListMatch();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
}

// Measuring that takes a while shows how many files are done over the
// window; its Cancel leaves the list and the remembered folder as they were.
TEST_F(AddMeasuringTest, TheProgressCountsTheFilesAndItsCancelChangesNothing)
{
    settings.writeText("Option", "LastPhotoFolder", QStringLiteral("/before/"));
    QSignalSpy added(&dialog(), &MainDialog::addFinished);
    clickAdd(files(3, false)); // the first file comes back, the others wait

    QProgressDialog* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            progress = dialog().findChild<QProgressDialog*>();
            return progress && progress->isVisible();
        },
        10'000))
        << "no progress showed";
    EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
    EXPECT_EQ(progress->findChild<QLabel*>()->text(), QStringLiteral("Measuring the files..."));
    auto* bar = progress->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == 1; }, 10'000)) << bar->value();
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    held.letGo();

    ASSERT_TRUE(QTest::qWaitFor([&] { return added.count() == 1; }, 10'000));
    EXPECT_EQ(dialog().clipList().count(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(settings.readText("Option", "LastPhotoFolder", QString()), QStringLiteral("/before/"));
    EXPECT_EQ(dialog().findChild<QProgressDialog*>(), nullptr);
}

// A window that goes while its files are measured stops the measuring and
// waits for its worker; nothing comes back to it afterwards.
TEST_F(AddMeasuringTest, AWindowThatGoesWhileMeasuringStopsItsWorker)
{
    const QStringList paths = files(40, true);
    clickAdd(paths);
    ASSERT_TRUE(dialog().measuring());
    // The files in the workers' hands are finished; the rest are not begun.
    std::jthread letGo([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held.letGo();
    });
    dialog_.reset();
    const int begun = framework.callCount(FakeOp::RenderFile);
    QTest::qWait(100); // anything posted to the gone window would arrive now
    EXPECT_LT(begun, paths.size());
    EXPECT_EQ(framework.callCount(FakeOp::RenderFile), begun) << "measuring went on after the window";
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
} // namespace kestrine::testing
