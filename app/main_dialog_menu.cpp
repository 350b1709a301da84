// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/playlist.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace kestrine {

namespace {

const QString kOptionSection = QStringLiteral("Option");
const QString kLastFolderSetting = QStringLiteral("LastPhotoFolder");
const QString kPlaylistFilter = QStringLiteral("Playlists (*.m3u8 *.m3u *.pls)");

} // namespace

void MainDialog::showListMenu(const QPoint& position)
{
    QMenu menu(this);
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
            moved.append(clipList_.at(row).path, clipList_.at(row).duration);
        else if (row < target)
            ++landing;
    }
    for (int row = 0; row <= clipList_.count(); ++row) {
        if (row == target || (row == clipList_.count() && target > clipList_.count())) {
            for (const ClipItem& item : moved.items())
                reordered.append(item.path, item.duration);
        }
        if (row < clipList_.count() && !dragged[row])
            reordered.append(clipList_.at(row).path, clipList_.at(row).duration);
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
    if (adding_)
        return;
    OpenFilesRequest request;
    request.title = QStringLiteral("Add Playlist...");
    request.initialFolder = settings_.readText(kOptionSection, kLastFolderSetting, QString());
    request.filters = {kPlaylistFilter, QStringLiteral("Any Files (*)")};
    const QStringList playlists = dialogs_.chooseFilesToOpen(request);
    QStringList found;
    QStringList missing;
    for (const QString& playlist : playlists) {
        const PlaylistEntries entries = readPlaylist(playlist);
        if (!entries.readable) {
            dialogs_.showError(QStringLiteral("Cannot read the playlist %1.").arg(QDir::toNativeSeparators(playlist)));
            continue;
        }
        for (const QString& path : entries.paths) {
            if (QFileInfo(path).isFile())
                found.append(path);
            else
                missing.append(QDir::toNativeSeparators(path));
        }
    }
    if (!missing.isEmpty())
        dialogs_.showError(QStringLiteral("These files of the playlist were not found and are left out:\n%1")
                               .arg(missing.join(QLatin1Char('\n'))));
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
