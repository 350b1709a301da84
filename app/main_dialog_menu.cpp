// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/playlist.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QAction>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <atomic>
#include <functional>
#include <thread>

namespace kestrine {

namespace {

const QString kOptionSection = QStringLiteral("Option");
const QString kLastFolderSetting = QStringLiteral("LastPhotoFolder");
const QString kPlaylistFilter = QStringLiteral("Playlists (*.m3u8 *.m3u *.pls)");

// A box of names stays within the screen: a few names, each of a bounded length.
constexpr int kMostNamesShown = 10;
constexpr int kLongestNameShown = 100;

QString namesInShort(const QStringList& paths)
{
    QStringList lines;
    for (const QString& path : paths.mid(0, kMostNamesShown)) {
        QString name = QDir::toNativeSeparators(path);
        if (name.size() > kLongestNameShown) {
            const qsizetype keep = (kLongestNameShown - 1) / 2;
            name = name.left(keep) + QChar(0x2026) + name.right(keep);
        }
        lines.append(name);
    }
    if (paths.size() > kMostNamesShown)
        lines.append(QStringLiteral("and %1 more").arg(paths.size() - kMostNamesShown));
    return lines.join(QLatin1Char('\n'));
}

// Runs work on a thread of its own while the window goes on answering.
void runOffTheWindowThread(const std::function<void()>& work)
{
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::jthread worker([&] {
        work();
        finished.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!finished.load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void MainDialog::showListMenu(const QPoint& position)
{
    QMenu menu(this);
    menu.addAction(undoAction_);
    menu.addAction(redoAction_);
    menu.addSeparator();
    const bool hasSelection = !listView_->selectedRows().isEmpty();
    const auto add = [&menu](const QString& text, bool enabled, auto slot) {
        QAction* action = menu.addAction(text, slot);
        action->setEnabled(enabled);
        return action;
    };
    add(QStringLiteral("Play"), hasSelection, [this] { onPlay(); });
    add(QStringLiteral("Remove"), hasSelection, [this] { onDeleteSelected(); });
    add(QStringLiteral("Move up"), hasSelection, [this] { onMoveUp(); });
    add(QStringLiteral("Move down"), hasSelection, [this] { onMoveDown(); });
    add(QStringLiteral("Show in folder"), hasSelection, [this] { showSelectedInFolder(); });
    menu.addSeparator();
    add(QStringLiteral("Add playlist\u2026"), true, [this] { runCommand(control::kAddPlaylist); });
    add(QStringLiteral("Save list as playlist\u2026"), !clipList_.isEmpty(),
        [this] { runCommand(control::kSavePlaylist); });
    menu.exec(listView_->viewport()->mapToGlobal(position));
}

void MainDialog::showSelectedInFolder()
{
    const QVector<int> selected = listView_->selectedRows();
    if (selected.isEmpty())
        return;
    shell_.openDocument(QFileInfo(clipList_.at(selected.front()).path).absolutePath());
}

void MainDialog::moveRowsTo(const QVector<int>& rows, int target)
{
    if (rows.isEmpty())
        return;
    // The dragged items in their order, put back in front of the first
    // item after the drop point that was not dragged.
    ClipList moved;
    ClipList reordered;
    QVector<bool> dragged(clipList_.count(), false);
    for (int row : rows) {
        if (row >= 0 && row < clipList_.count())
            dragged[row] = true;
    }
    int landing = 0;
    for (int row = 0; row < clipList_.count(); ++row) {
        if (dragged[row])
            moved.append(clipList_.at(row));
        else if (row < target)
            ++landing;
    }
    for (int row = 0; row <= clipList_.count(); ++row) {
        if (row == target || (row == clipList_.count() && target > clipList_.count())) {
            for (const ClipItem& item : moved.items())
                reordered.append(item);
        }
        if (row < clipList_.count() && !dragged[row])
            reordered.append(clipList_.at(row));
    }
    clipList_ = reordered;
    refreshView();
    QVector<int> selection;
    for (int i = 0; i < moved.count(); ++i)
        selection.append(landing + i);
    listView_->selectRows(selection);
    syncAudioList();
}

void MainDialog::onAddPlaylist()
{
    if (adding())
        return;
    OpenFilesRequest request;
    request.title = QStringLiteral("Add Playlist...");
    request.initialFolder = settings_.readText(kOptionSection, kLastFolderSetting, QString());
    request.filters = {kPlaylistFilter, QStringLiteral("Any Files (*)")};
    const QStringList playlists = dialogs_.chooseFilesToOpen(request);
    if (playlists.isEmpty())
        return;

    // Reading, and looking up every entry, happens off the window's thread:
    // a playlist on a slow disk must not freeze the window.
    struct Read {
        PlaylistEntries entries;
        QStringList found;
        QStringList missing;
    };
    std::vector<Read> reads(static_cast<std::size_t>(playlists.size()));
    readingPlaylist_ = true;
    runOffTheWindowThread([&playlists, &reads] {
        for (qsizetype i = 0; i < playlists.size(); ++i) {
            Read& read = reads[static_cast<std::size_t>(i)];
            read.entries = readPlaylist(playlists[i]);
            for (const QString& path : read.entries.paths)
                (QFileInfo(path).isFile() ? read.found : read.missing).append(path);
        }
    });
    readingPlaylist_ = false;

    QStringList found;
    QStringList missing;
    for (qsizetype i = 0; i < playlists.size(); ++i) {
        const Read& read = reads[static_cast<std::size_t>(i)];
        if (read.entries.problem != PlaylistProblem::None) {
            dialogs_.showError(playlistProblemText(playlists[i], read.entries));
            continue;
        }
        if (read.entries.paths.isEmpty()) {
            dialogs_.inform(playlistProblemText(playlists[i], read.entries));
            continue;
        }
        found += read.found;
        missing += read.missing;
    }
    if (!missing.isEmpty())
        dialogs_.showError(QStringLiteral("These files of the playlist were not found and are left out:\n%1")
                               .arg(namesInShort(missing)));
    if (!found.isEmpty())
        addFiles(found);
}

void MainDialog::onSavePlaylist()
{
    if (clipList_.isEmpty())
        return;
    SaveFileRequest request;
    request.title = QStringLiteral("Save List as Playlist...");
    request.initialFolder = settings_.readText(kOptionSection, kLastFolderSetting, QString());
    request.initialName = QStringLiteral("kestrine.m3u8");
    request.filters = {QStringLiteral("M3U8 Playlist (*.m3u8)")};
    const std::optional<SaveFileChoice> chosen = dialogs_.chooseFileToSave(request);
    if (!chosen)
        return;
    QString path = chosen->path;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".m3u8");
    if (!writeM3u8Playlist(path, clipList_))
        dialogs_.showError(QStringLiteral("Cannot write the playlist %1.").arg(QDir::toNativeSeparators(path)));
}

} // namespace kestrine
