// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

namespace kestrine::testing {
namespace {

using AddTest = MainDialogTest;

TEST_F(AddTest, OpenDialogAsksForMediaFilesFromTheLastFolder)
{
    settings.writeText("Option", "LastPhotoFolder", QStringLiteral("/music/"));
    click(control::kAdd);
    ASSERT_EQ(dialogs.openRequests.size(), 1);
    const OpenFilesRequest& request = dialogs.openRequests.front();
    EXPECT_EQ(request.title, QStringLiteral("Select Media Files..."));
    EXPECT_EQ(request.initialFolder, QStringLiteral("/music/"));
    ASSERT_EQ(request.filters.size(), 5);
    EXPECT_TRUE(request.filters[0].startsWith(
        QStringLiteral("Media Files (all types) (*.asf *.wma *.wmv *.avi *.vob *.qt *.mov *.mpg *.mpeg *.dat"
                       " *.mp4 *.divx *.div *.ogm *.wav *.mpa *.mp2 *.mp3 *.au *.aif *.aiff *.snd *.ogg *.ac3 ")));
    // The first choice also names what the program reads beyond that list,
    // so that no readable file hides behind "Any Files".
    for (const char* pattern : {"*.flac", "*.m4a", "*.aac", "*.opus", "*.mkv", "*.webm", "*.wv", "*.mka"})
        EXPECT_TRUE(request.filters[0].contains(QStringLiteral(" ") + QString::fromLatin1(pattern) + QStringLiteral(" "))
                    || request.filters[0].endsWith(QStringLiteral(" ") + QString::fromLatin1(pattern) + QStringLiteral(")")))
            << pattern;
    EXPECT_TRUE(request.filters[1].startsWith(QStringLiteral("Audio files (*.mp3 *.wav")));
    EXPECT_TRUE(request.filters[2].startsWith(QStringLiteral("Video Files (*.avi")));
    EXPECT_EQ(request.filters[3], QStringLiteral("Windows Media Files (*.asf *.wma *.wmv)"));
    EXPECT_EQ(request.filters[4], QStringLiteral("Any Files (*)"));
    // Cancelled: nothing changes, nothing is said.
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialog().clipList().count(), 0);
}

TEST_F(AddTest, SeveralFilesWithAFailingSecondAddTheOthersInOrder)
{
    const QString first = makeFile("in/first.mp3");
    const QString broken = makeFile("in/broken.mp3");
    const QString third = makeFile("in/third.ogg");
    framework.setDuration(first.toStdString(), 29'000'000);
    framework.setDuration(third.toStdString(), 4 * kSecond);
    dialogs.openAnswers.push_back({first, broken, third});
    click(control::kAdd);

    ASSERT_EQ(dialog().clipList().count(), 2);
    EXPECT_EQ(dialog().clipList().at(0), (ClipItem{first, 29'000'000}));
    EXPECT_EQ(dialog().clipList().at(1), (ClipItem{third, 4 * kSecond}));
    EXPECT_EQ(dialogs.texts(),
              QStringList({QStringLiteral("Cannot open %1. You need to install appropriate decoders.\nOr the file is corrupt.")
                               .arg(broken),
                           QStringLiteral("Can not get the duration of %1").arg(broken)}));
    for (const MessageRequest& message : dialogs.messages)
        EXPECT_EQ(message.caption, QStringLiteral("Error"));
    EXPECT_EQ(view()->topLevelItem(0)->text(1), QStringLiteral("2"));
    expectViewAndAudioListMatch();
}

TEST_F(AddTest, AFailureAfterOpeningNamesOnlyTheDuration)
{
    const QString a = makeFile("a.mp3");
    const QString b = makeFile("b.mp3");
    framework.setDuration(a.toStdString(), kSecond);
    framework.failProbe(b.toStdString(), FakeOp::StopPosition, result::kFail);
    dialogs.openAnswers.push_back({a, b});
    click(control::kAdd);
    EXPECT_EQ(dialogs.texts(), QStringList({QStringLiteral("Can not get the duration of %1").arg(b)}));
    EXPECT_EQ(dialog().clipList().count(), 1);
}

TEST_F(AddTest, ASingleUnreadableFileShowsTwoMessagesAndChangesNothing)
{
    addThroughDialog({{makeFile("keep/one.wav"), kSecond}});
    const QString folderBefore = settings.readText("Option", "LastPhotoFolder", QString());
    dialogs.messages.clear();

    const QString broken = makeFile("elsewhere/broken.mp3");
    dialogs.openAnswers.push_back({broken});
    click(control::kAdd);

    EXPECT_EQ(dialogs.texts(),
              QStringList({QStringLiteral("Cannot open %1. You need to install appropriate decoders.\nOr the file is corrupt.")
                               .arg(broken),
                           QStringLiteral("Can not get the duration of the clip!")}));
    EXPECT_EQ(dialog().clipList().count(), 1);
    EXPECT_EQ(settings.readText("Option", "LastPhotoFolder", QString()), folderBefore);
    expectViewAndAudioListMatch();
}

struct OpenFailureCase {
    const char* name;
    MediaResult failure;
    const char* explanation; // %1 is the file
};

TEST_F(AddTest, AFileThatCannotBeOpenedIsExplainedByWhatIsWrongWithIt)
{
    const OpenFailureCase cases[] = {
        {"video without sound", result::kNoAudioStream,
         "%1 has no sound track: there is nothing in it to join."},
        {"no decoder", result::kNoDecoder,
         "Cannot open %1. You need to install appropriate decoders.\nOr the file is corrupt."},
        {"not a media file", result::kCannotOpenSource,
         "Cannot open %1. You need to install appropriate decoders.\nOr the file is corrupt."},
        // A reason the framework can name is its own sentence.
        {"missing", -2, "Cannot open %1: Fake failure 0xFFFFFFFE."},
    };
    for (const OpenFailureCase& c : cases) {
        dialogs.messages.clear();
        const QString file = makeFile(QStringLiteral("%1.mp4").arg(QString::fromLatin1(c.name)));
        framework.failProbe(file.toStdString(), FakeOp::RenderFile, c.failure);
        dialogs.openAnswers.push_back({file});
        click(control::kAdd);
        EXPECT_EQ(dialogs.texts(), QStringList({QString::fromUtf8(c.explanation).arg(file),
                                                QStringLiteral("Can not get the duration of the clip!")}))
            << c.name;
        EXPECT_EQ(dialog().clipList().count(), 0) << c.name;
    }
}

TEST_F(AddTest, LastFolderIsTheLastItemsFolderWithItsSeparator)
{
    const QString a = makeFile(QStringLiteral("Música/a.mp3"));
    const QString b = makeFile(QStringLiteral("Música/日本/b.mp3"));
    addThroughDialog({{a, kSecond}, {b, kSecond}});
    const QString expected = QDir::toNativeSeparators(QFileInfo(b).absolutePath()) + QDir::separator();
    EXPECT_EQ(settings.readText("Option", "LastPhotoFolder", QString()), expected);
    EXPECT_EQ(dialog().clipList().at(1).path, b);

    click(control::kAdd); // cancelled, but opened where the last item lives
    EXPECT_EQ(dialogs.openRequests.back().initialFolder, expected);
}

TEST_F(AddTest, AChoicePastTheCapacityAddsWhatFitsAndSaysHowManyWereLeft)
{
    QList<QPair<QString, MediaTime>> files;
    const QString file = makeFile("same.wav");
    for (int i = 0; i < ClipList::kCapacity - 2; ++i)
        files.append({file, kSecond});
    addThroughDialog(files);
    ASSERT_EQ(dialog().clipList().count(), ClipList::kCapacity - 2);
    ASSERT_TRUE(dialogs.messages.isEmpty());

    addThroughDialog({{makeFile("x1.wav"), kSecond}, {makeFile("x2.wav"), kSecond},
                      {makeFile("x3.wav"), kSecond}, {makeFile("x4.wav"), kSecond},
                      {makeFile("x5.wav"), kSecond}});
    EXPECT_EQ(dialog().clipList().count(), ClipList::kCapacity);
    EXPECT_EQ(QFileInfo(dialog().clipList().at(ClipList::kCapacity - 1).path).fileName(), QStringLiteral("x2.wav"));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().text.contains(QStringLiteral("3 file(s) were not added")));

    dialogs.messages.clear();
    addThroughDialog({{makeFile("y.wav"), kSecond}});
    EXPECT_EQ(dialog().clipList().count(), ClipList::kCapacity);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().text.contains(QStringLiteral("1 file(s) were not added")));
    expectViewAndAudioListMatch();
}

TEST_F(AddTest, DroppedFilesAreAddedLikeChosenOnes)
{
    const QString a = makeFile("drop/a.mp3");
    const QString b = makeFile("drop/b.mp3");
    framework.setDuration(a.toStdString(), kSecond);
    framework.setDuration(b.toStdString(), 2 * kSecond);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl(QStringLiteral("https://example.com/x.mp3")), QUrl::fromLocalFile(b)});
    const QPoint at = view()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view()->viewport(), &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog().clipList().count() == 2; }, 5000))
        << dialog().clipList().count() << " files listed";
    EXPECT_EQ(dialog().clipList().at(0).path, a);
    EXPECT_EQ(dialog().clipList().at(1).path, b);
    expectViewAndAudioListMatch();
}

TEST_F(AddTest, TheSameFileMayBeAddedAgainAndAddWorksDuringAJoin)
{
    const QString a = makeFile("a.mp3");
    addThroughDialog({{a, kSecond}});
    click(control::kJoin);
    ASSERT_TRUE(dialog().joining());
    addThroughDialog({{a, kSecond}});
    EXPECT_EQ(dialog().clipList().count(), 2);
    EXPECT_TRUE(dialog().joining());
    click(control::kJoin);
}

} // namespace
} // namespace kestrine::testing
