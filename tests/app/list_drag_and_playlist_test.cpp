// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/media_file_types.h"
#include "app/playlist.h"
#include "tests/app/main_dialog_fixture.h"

#include <QCoreApplication>

namespace kestrine::testing {
namespace {

class ListDragTest : public MainDialogTest {
protected:
    // Drops the rows onto the upper or lower half of row at (or below the last row).
    void dragRows(const QString& rows, int at, bool lowerHalf)
    {
        QPoint point;
        if (at < view()->topLevelItemCount()) {
            const QRect rect = view()->visualItemRect(view()->topLevelItem(at));
            point = QPoint(rect.center().x(), lowerHalf ? rect.bottom() - 1 : rect.top() + 1);
        } else {
            point = QPoint(10, view()->viewport()->height() - 3);
        }
        QMimeData data;
        data.setData(QString::fromLatin1(ClipListView::kRowsMimeType), rows.toLatin1());
        QDragEnterEvent enter(point, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(point), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &drop);
    }
};

TEST_F(ListDragTest, DraggedRowsLandWhereDroppedAndStaySelected)
{
    struct Case {
        const char* rows;
        int at;
        bool lowerHalf;
        QStringList order;
        QVector<int> selected;
    };
    const Case cases[] = {
        {"1,2", 4, false, {"A", "D", "B", "C"}, {2, 3}},  // to the end
        {"3", 0, false, {"D", "A", "B", "C"}, {0}},       // to the top
        {"0,2", 3, true, {"B", "D", "A", "C"}, {2, 3}},   // after the last row
        {"0", 1, true, {"B", "A", "C", "D"}, {1}},        // one down
        {"1,2", 2, false, {"A", "B", "C", "D"}, {1, 2}},  // onto itself: nothing moves
        {"2", 0, true, {"A", "C", "B", "D"}, {1}},
    };
    for (const Case& c : cases) {
        addNamed({"A", "B", "C", "D"});
        dragRows(QString::fromLatin1(c.rows), c.at, c.lowerHalf);
        EXPECT_EQ(listedNames(), c.order) << c.rows << " at " << c.at;
        EXPECT_EQ(view()->selectedRows(), c.selected) << c.rows << " at " << c.at;
        expectViewAndAudioListMatch();
        click(control::kDeleteAll);
    }
}

TEST_F(ListDragTest, AForeignOrStaleRowListIsIgnored)
{
    addNamed({"A", "B"});
    for (const char* rows : {"5", "x", "0,-1"}) {
        QMimeData data;
        data.setData(QString::fromLatin1(ClipListView::kRowsMimeType), rows);
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &enter);
        EXPECT_FALSE(enter.isAccepted()) << rows;
    }
    EXPECT_EQ(listedNames(), QStringList({"A", "B"}));
}

TEST_F(MainDialogTest, ADroppedFolderAddsItsMediaFilesInNaturalOrder)
{
    const QString dropped = QDir(folder.path()).filePath(QStringLiteral("album"));
    const QStringList names = {"track 10.mp3", "track 2.flac", "Track 1.ogg", "cover.jpg", "notes.txt",
                               "disc 2/01.m4a", "disc 10/01.opus", "z.WAV"};
    for (const QString& name : names) {
        const QString path = QDir(dropped).filePath(name);
        makeFile(QStringLiteral("album/") + name);
        framework.setDuration(path.toStdString(), kSecond);
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view()->viewport(), &drop);
    // Measuring runs after the drop has finished.
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialog().clipList().count() == 6; }, 5000))
        << dialog().clipList().count() << " " << dialogs.texts().join('|').toStdString();
    QStringList added;
    for (const ClipItem& item : dialog().clipList().items())
        added.append(QDir(dropped).relativeFilePath(item.path));
    EXPECT_EQ(added, QStringList({"Track 1.ogg", "track 2.flac", "track 10.mp3", "z.WAV", "disc 2/01.m4a",
                                  "disc 10/01.opus"}));
    expectViewAndAudioListMatch();
}

TEST(MediaFileTypesTest, NamesAreRecognisedByTheirExtensionInAnyCase)
{
    for (const char* name : {"a.mp3", "b.FLAC", "c.d.m4a", "e.opus", "f.mkv", "g.aiff", "h.Ac3"})
        EXPECT_TRUE(isMediaFileName(QString::fromLatin1(name))) << name;
    for (const char* name : {"a.jpg", "mp3", "b.txt", "c.", ".m3u8", "playlist.pls"})
        EXPECT_FALSE(isMediaFileName(QString::fromLatin1(name))) << name;
    // The classic patterns come first, in their old order.
    EXPECT_EQ(mediaFilePatterns().mid(0, 3), QStringList({"*.asf", "*.wma", "*.wmv"}));
    EXPECT_EQ(mediaFilePatterns().indexOf(QStringLiteral("*.ac3")), 23);
}

TEST(NaturalCompareTest, NumbersByValueLettersWithoutCase)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"track 2", "track 10", -1}, {"track 10", "track 2", 1}, {"Track 1", "track 2", -1},
        {"a", "A", 0},               {"disc 02", "disc 2", 0},  {"b1", "a9", 1},
        {"x9y", "x10", -1},          {"abc", "abcd", -1},       {"", "a", -1},
        {"track 007", "track 8", -1},
    };
    for (const auto& [a, b, order] : cases)
        EXPECT_EQ(naturalCompare(QString::fromLatin1(a), QString::fromLatin1(b)), order) << a << " / " << b;
}

class PlaylistTest : public MainDialogTest {
protected:
    QString path(const QString& name) { return QDir(folder.path()).filePath(name); }
    QString readText(const QString& file)
    {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << file.toStdString();
        return QString::fromUtf8(in.readAll());
    }
};

TEST_F(PlaylistTest, SavedThenAddedGivesTheSameList)
{
    const QString outside = makeFile(QStringLiteral("elsewhere/ünïcode ☂.flac"));
    addThroughDialog({
        {makeFile(QStringLiteral("music/Café Interlude.mp3")), 61 * kSecond + 5},
        {makeFile(QStringLiteral("music/sub/夜の雨.ogg")), 95 * kSecond},
        {outside, 3 * kSecond},
        {path(QStringLiteral("music/Café Interlude.mp3")), 61 * kSecond + 5},
    });
    const ClipList saved = dialog().clipList();
    ASSERT_EQ(saved.count(), 4);

    dialogs.saveAnswers.push_back(path(QStringLiteral("music/my list")));
    ASSERT_TRUE(dialog().runCommand(control::kSavePlaylist));
    const QString playlist = path(QStringLiteral("music/my list.m3u8"));
    ASSERT_TRUE(QFileInfo::exists(playlist));
    EXPECT_EQ(readText(playlist),
              QStringLiteral("#EXTM3U\n#EXTINF:61,Café Interlude\nCafé Interlude.mp3\n#EXTINF:95,夜の雨\nsub/夜の雨.ogg\n"
                             "#EXTINF:3,ünïcode ☂\n")
                  + QDir::toNativeSeparators(outside)
                  + QStringLiteral("\n#EXTINF:61,Café Interlude\nCafé Interlude.mp3\n"));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    click(control::kDeleteAll);
    dialogs.openAnswers.push_back({playlist});
    ASSERT_TRUE(dialog().runCommand(control::kAddPlaylist));
    EXPECT_EQ(dialog().clipList(), saved);
    expectViewAndAudioListMatch();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
}

TEST_F(PlaylistTest, AMissingFileIsNamedAndTheRestIsAdded)
{
    const QString here = makeFile(QStringLiteral("lists/here.mp3"));
    framework.setDuration(here.toStdString(), 4 * kSecond);
    const QString list = makeFile(QStringLiteral("lists/a.m3u8"), "#EXTM3U\ngone.mp3\nhere.mp3\n");
    dialogs.openAnswers.push_back({list});
    dialog().runCommand(control::kAddPlaylist);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().text.contains(QDir::toNativeSeparators(path(QStringLiteral("lists/gone.mp3")))))
        << dialogs.messages.front().text.toStdString();
    ASSERT_EQ(dialog().clipList().count(), 1);
    EXPECT_EQ(dialog().clipList().at(0).path, here);
}

TEST_F(PlaylistTest, SavingAnEmptyListOrCancellingWritesNothing)
{
    EXPECT_TRUE(dialog().runCommand(control::kSavePlaylist));
    EXPECT_TRUE(dialogs.saveRequests.isEmpty());
    addNamed({"A"});
    dialogs.saveAnswers.push_back(QString()); // cancel
    dialog().runCommand(control::kSavePlaylist);
    EXPECT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.m3u8")}, QDir::Files), QStringList());
}

struct PlaylistCase {
    const char* name;
    const char* file;
    QByteArray bytes;
    QStringList expected; // relative to the test folder, or absolute when starting with '/'
};

class PlaylistReadTest : public PlaylistTest, public ::testing::WithParamInterface<PlaylistCase> {};

TEST_P(PlaylistReadTest, EntriesComeInOrderAsAbsolutePaths)
{
    const QString list = makeFile(QString::fromLatin1(GetParam().file), GetParam().bytes);
    const PlaylistEntries entries = readPlaylist(list);
    EXPECT_TRUE(entries.readable);
    QStringList expected;
    for (const QString& entry : GetParam().expected)
        expected.append(entry.startsWith(QLatin1Char('/')) ? entry : path(entry));
    EXPECT_EQ(entries.paths, expected);
}

const PlaylistCase kPlaylists[] = {
    {"M3uWithCommentsAndCrLf", "p/list.m3u", "#EXTM3U\r\n#EXTINF:3,One\r\none.mp3\r\n\r\n  sub/two.ogg  \r\n",
     {"p/one.mp3", "p/sub/two.ogg"}},
    {"AbsoluteUrlsAndStreams", "p/list.m3u", "/abs/x.mp3\nfile:///abs/y%20z.mp3\nhttp://radio.example/stream\n../up.wav\n",
     {"/abs/x.mp3", "/abs/y z.mp3", "up.wav"}},
    {"M3u8IsUtf8", "p/list.m3u8", "\xEF\xBB\xBF#EXTM3U\nCaf\xC3\xA9.mp3\n", {QStringLiteral("p/Café.mp3")}},
    {"OldM3uInLatin1", "p/list.m3u", "Caf\xE9.mp3\n", {QStringLiteral("p/Café.mp3")}},
    {"WindowsSeparators", "p/list.m3u", "sub\\three.mp3\n", {"p/sub/three.mp3"}},
    {"PlsInNumberOrder", "p/list.pls",
     "[playlist]\nFile2=b.mp3\nTitle2=B\nFile1=a.mp3\nfile10=c.mp3\nNumberOfEntries=3\nVersion=2\n",
     {"p/a.mp3", "p/b.mp3", "p/c.mp3"}},
    {"Empty", "p/list.m3u8", "", {}},
};
INSTANTIATE_TEST_SUITE_P(Formats, PlaylistReadTest, ::testing::ValuesIn(kPlaylists),
                         [](const ::testing::TestParamInfo<PlaylistCase>& param) { return std::string(param.param.name); });

TEST(PlaylistFileTest, AnUnreadablePlaylistSaysSo)
{
    EXPECT_FALSE(readPlaylist(QStringLiteral("/no/such/list.m3u")).readable);
    ClipList list;
    list.append(QStringLiteral("/a.mp3"), kUnitsPerSecond);
    EXPECT_FALSE(writeM3u8Playlist(QStringLiteral("/no/such/folder/list.m3u8"), list));
}

} // namespace
} // namespace kestrine::testing
