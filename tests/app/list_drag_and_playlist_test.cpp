// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/media_file_types.h"
#include "app/playlist.h"
#include "tests/app/main_dialog_fixture.h"

#include <QCoreApplication>
#include <functional>
#include <sys/stat.h>

namespace kestrine::testing {
namespace {

class ListDragTest : public MainDialogTest {
protected:
    // What a drag of rows from target's list carries, as the view makes it.
    static std::unique_ptr<QMimeData> rowsData(ClipListView* from, const QString& rows)
    {
        QModelIndexList indexes;
        for (const QString& row : rows.split(QLatin1Char(',')))
            indexes.append(from->model()->index(row.toInt(), 0));
        return std::unique_ptr<QMimeData>(from->model()->mimeData(indexes));
    }
    // Drops data onto the upper or lower half of row at (or below the last
    // row) of target; whether the drag was accepted on entering.
    static bool drop(ClipListView* target, const QMimeData& data, int at, bool lowerHalf)
    {
        QPoint point;
        if (at < target->topLevelItemCount()) {
            const QRect rect = target->visualItemRect(target->topLevelItem(at));
            point = QPoint(rect.center().x(), lowerHalf ? rect.bottom() - 1 : rect.top() + 1);
        } else {
            point = QPoint(10, target->viewport()->height() - 3);
        }
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &move);
        QDropEvent dropped(QPointF(point), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &dropped);
        return true;
    }
    void dragRows(const QString& rows, int at, bool lowerHalf)
    {
        EXPECT_TRUE(drop(view(), *rowsData(view(), rows), at, lowerHalf));
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

TEST_F(ListDragTest, GarbledOrStaleRowsAreRefused)
{
    addNamed({"A", "B", "C"});
    for (const char* bytes : {"5", "x", "0,-1", "{}", "{\"list\":1,\"rows\":[0],\"paths\":[]}"}) {
        QMimeData data;
        data.setData(QString::fromLatin1(ClipListView::kRowsMimeType), bytes);
        EXPECT_FALSE(drop(view(), data, 0, false)) << bytes;
    }
    // Taken before the list changed under it: row 1 no longer holds B.
    const std::unique_ptr<QMimeData> stale = rowsData(view(), QStringLiteral("1"));
    view()->selectRows({0});
    click(control::kDeleteSelected);
    EXPECT_FALSE(drop(view(), *stale, 2, true));
    EXPECT_EQ(listedNames(), QStringList({"B", "C"}));
    expectViewAndAudioListMatch();
}

// Rows dragged into another window's list are files to add there, at the
// end, as dropped files are; neither list moves its own rows, and each view
// keeps showing its own list.
TEST_F(ListDragTest, RowsFromAnotherWindowAreAddedThereAndLeftHere)
{
    addNamed({"A", "B", "C"});
    RecordingDialogs otherDialogs;
    MainDialog other(framework, otherDialogs, shell, settings, encoders);
    other.show();
    const QString x = makeFile(QStringLiteral("X.mp3"));
    const QString y = makeFile(QStringLiteral("Y.mp3"));
    framework.setDuration(x.toStdString(), kSecond);
    framework.setDuration(y.toStdString(), kSecond);
    addFilesAndWait(other, {x, y});
    auto* otherView = other.findChild<ClipListView*>(controlName(control::kClipList));
    ASSERT_NE(otherView, nullptr);

    EXPECT_TRUE(drop(otherView, *rowsData(view(), QStringLiteral("0,2")), 0, false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.clipList().count() == 4; }, 5000));
    QStringList otherNames;
    for (const ClipItem& item : other.clipList().items())
        otherNames.append(QFileInfo(item.path).completeBaseName());
    EXPECT_EQ(otherNames, QStringList({"X", "Y", "A", "C"}));
    EXPECT_EQ(other.audioList(), other.clipList());
    ASSERT_EQ(otherView->topLevelItemCount(), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(otherView->topLevelItem(row)->text(0), clipNameText(other.clipList().at(row).path));

    EXPECT_EQ(listedNames(), QStringList({"A", "B", "C"}));
    expectViewAndAudioListMatch();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(otherDialogs.messages.isEmpty()) << otherDialogs.texts().join('\n').toStdString();
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
    command(control::kAddPlaylist);
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
    command(control::kAddPlaylist);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().text.contains(QDir::toNativeSeparators(path(QStringLiteral("lists/gone.mp3")))))
        << dialogs.messages.front().text.toStdString();
    ASSERT_EQ(dialog().clipList().count(), 1);
    EXPECT_EQ(dialog().clipList().at(0).path, here);
}

// Files that are no playlist to read are refused by what they are, at once,
// in one sentence, and nothing is added.
TEST_F(PlaylistTest, WhatIsNoPlaylistIsRefusedAtOnceInOneSentence)
{
    const struct {
        const char* name;
        std::function<QString()> make;
        const char* text; // %1: the playlist's path
        bool error;
    } cases[] = {
        {"fifo",
         [this] {
             const QString fifo = path(QStringLiteral("fifo.m3u"));
             EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
             return fifo;
         },
         "Cannot read the playlist %1: it is not a regular file.", true},
        {"link to a device",
         [this] {
             const QString link = path(QStringLiteral("zero.m3u"));
             EXPECT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
             return link;
         },
         "Cannot read the playlist %1: it is not a regular file.", true},
        {"folder",
         [this] {
             QDir(folder.path()).mkdir(QStringLiteral("folder.m3u"));
             return path(QStringLiteral("folder.m3u"));
         },
         "Cannot read the playlist %1: it is not a regular file.", true},
        {"too large",
         [this] {
             QFile big(makeFile(QStringLiteral("big.m3u"), "a.mp3\n"));
             EXPECT_TRUE(big.resize(kMostPlaylistBytes + 1)); // sparse: no disk used
             return big.fileName();
         },
         "Cannot read the playlist %1: it is larger than 4 MB, too large for a playlist.", true},
        {"binary",
         [this] {
             QByteArray bytes;
             for (int i = 0; i < 4096; ++i)
                 bytes.append(static_cast<char>((i * 7919) & 0xff));
             return makeFile(QStringLiteral("song.m3u"), bytes);
         },
         "%1 is not a playlist.", true},
        {"empty", [this] { return makeFile(QStringLiteral("empty.m3u8"), "#EXTM3U\n\n"); },
         "The playlist %1 holds no files.", false},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        const QString list = c.make();
        dialogs.openAnswers.push_back({list});
        command(control::kAddPlaylist);
        ASSERT_EQ(dialogs.messages.size(), 1) << c.name << ": " << dialogs.texts().join('|').toStdString();
        EXPECT_EQ(dialogs.messages.front().text, QString::fromLatin1(c.text).arg(list)) << c.name;
        EXPECT_EQ(dialogs.messages.front().caption,
                  c.error ? QStringLiteral("Error") : dialogs.applicationTitle()) << c.name;
        EXPECT_TRUE(dialog().clipList().isEmpty()) << c.name;
    }
}

// However many entries are missing, the box names a few and counts the rest.
TEST_F(PlaylistTest, ManyMissingEntriesAreNamedInShort)
{
    const QString here = makeFile(QStringLiteral("here.mp3"));
    framework.setDuration(here.toStdString(), kSecond);
    QByteArray entries = "here.mp3\n";
    for (int i = 0; i < 200; ++i)
        entries += QStringLiteral("gone %1 %2.mp3\n").arg(i).arg(QString(300, QLatin1Char('x'))).toUtf8();
    dialogs.openAnswers.push_back({makeFile(QStringLiteral("list.m3u8"), entries)});
    command(control::kAddPlaylist);
    ASSERT_EQ(dialogs.messages.size(), 1);
    const QStringList lines = dialogs.messages.front().text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 12) << dialogs.messages.front().text.toStdString();
    EXPECT_EQ(lines.front(), QStringLiteral("These files of the playlist were not found and are left out:"));
    EXPECT_TRUE(lines.at(1).startsWith(QDir::toNativeSeparators(path(QStringLiteral("gone 0 xx")))))
        << lines.at(1).toStdString();
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 100) << line.toStdString();
    EXPECT_EQ(lines.back(), QStringLiteral("and 190 more"));
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
    EXPECT_EQ(entries.problem, PlaylistProblem::None) << entries.reason.toStdString();
    QStringList expected;
    for (const QString& entry : GetParam().expected)
        expected.append(entry.startsWith(QLatin1Char('/')) ? entry : path(entry));
    EXPECT_EQ(entries.paths, expected);
}

// text in UTF-16 with its byte-order mark, as some Windows programs write playlists.
QByteArray utf16WithMark(const QString& text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8);
        const char low = static_cast<char>(c.unicode() & 0xff);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
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
    {"Utf16LittleEndianWithMark", "p/list.m3u", utf16WithMark(QStringLiteral("#EXTM3U\nCafé.mp3\r\n"), true),
     {QStringLiteral("p/Café.mp3")}},
    {"Utf16BigEndianWithMark", "p/list.m3u8", utf16WithMark(QStringLiteral("a.mp3\ns/夜.mp3"), false),
     {"p/a.mp3", QStringLiteral("p/s/夜.mp3")}},
    {"RelativeFileAddresses", "p/list.m3u", "file:sub/one%20two.mp3\nfile:../up.mp3\nfile:./here.mp3\n",
     {"p/sub/one two.mp3", "up.mp3", "p/here.mp3"}},
};
INSTANTIATE_TEST_SUITE_P(Formats, PlaylistReadTest, ::testing::ValuesIn(kPlaylists),
                         [](const ::testing::TestParamInfo<PlaylistCase>& param) { return std::string(param.param.name); });

TEST(PlaylistFileTest, AnUnreadablePlaylistSaysSo)
{
    const PlaylistEntries missing = readPlaylist(QStringLiteral("/no/such/list.m3u"));
    EXPECT_EQ(missing.problem, PlaylistProblem::CannotOpen);
    EXPECT_EQ(playlistProblemText(QStringLiteral("/no/such/list.m3u"), missing),
              QStringLiteral("Cannot read the playlist /no/such/list.m3u: No such file or directory"));
    ClipList list;
    list.append(QStringLiteral("/a.mp3"), kUnitsPerSecond);
    EXPECT_FALSE(writeM3u8Playlist(QStringLiteral("/no/such/folder/list.m3u8"), list));
}

} // namespace
} // namespace kestrine::testing
