// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/media_file_types.h"
#include "output/measure_failure.h"
#include "platform/settings_store.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace kestrine {

namespace {

const QString kOptionSection = QStringLiteral("Option");
const QString kLastFolderSetting = QStringLiteral("LastPhotoFolder");

QString folderOf(const QString& path)
{
    QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace

QStringList MainDialog::mediaFileFilters()
{
    return {
        // The classic patterns first, then every other format the program reads.
        QStringLiteral("Media Files (all types) (%1)").arg(mediaFilePatterns().join(QLatin1Char(' '))),
        QStringLiteral("Audio files (*.mp3 *.wav *.ac3 *.ogg *.mpa *.mp2 *.au *.aif *.aiff *.snd)"),
        QStringLiteral("Video Files (*.avi *.vob *.qt *.mov *.mpg *.mpeg *.dat *.mp4 *.divx *.div *.ogm)"),
        QStringLiteral("Windows Media Files (*.asf *.wma *.wmv)"),
        QStringLiteral("Any Files (*)"),
    };
}

void MainDialog::onAdd()
{
    if (adding())
        return;
    OpenFilesRequest request;
    request.title = QStringLiteral("Select Media Files...");
    request.initialFolder = settings_.readText(kOptionSection, kLastFolderSetting, QString());
    request.filters = mediaFileFilters();
    const QStringList paths = dialogs_.chooseFilesToOpen(request);
    if (!paths.isEmpty())
        addFiles(paths);
}

void MainDialog::addFiles(const QStringList& paths)
{
    if (adding())
        return;
    if (paths.isEmpty()) {
        emit addFinished();
        return;
    }
    if (clipList_.isFull()) {
        dialogs_.inform(QStringLiteral("The list already holds %1 files, the most it can hold. "
                                       "%2 file(s) were not added.")
                            .arg(ClipList::kCapacity)
                            .arg(paths.size()));
        emit addFinished();
        return;
    }
    // The files are listed when their lengths come back; the window goes on
    // painting and answering meanwhile.
    measurer_.start(paths, [this](const Measurement& measured) {
        addMeasured(measured);
        emit addFinished();
    });
}

void MainDialog::addMeasured(const Measurement& measured)
{
    if (measured.cancelled)
        return;
    const QStringList& paths = measured.paths;
    const std::vector<ProbeOutcome>& outcomes = measured.outcomes;
    if (paths.size() == 1) {
        const ProbeOutcome& outcome = outcomes.front();
        if (outcome.failure != ProbeFailure::None) {
            explainProbeFailure(paths.front(), outcome);
            dialogs_.showError(QStringLiteral("Can not get the duration of the clip!"));
            return;
        }
        clipList_.append({paths.front(), outcome.duration, outcome.format});
    } else {
        int notAdded = 0;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const ProbeOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
            if (outcome.failure != ProbeFailure::None) {
                explainProbeFailure(paths[i], outcome);
                dialogs_.showError(QStringLiteral("Can not get the duration of %1").arg(paths[i]));
            } else if (!clipList_.append({paths[i], outcome.duration, outcome.format})) {
                ++notAdded;
            }
        }
        if (notAdded > 0)
            dialogs_.inform(QStringLiteral("The list holds at most %1 files: %2 file(s) were not added.")
                                .arg(ClipList::kCapacity)
                                .arg(notAdded));
    }

    refreshView();
    storeLastFolder();
    syncAudioList();
}

void MainDialog::explainProbeFailure(const QString& path, const ProbeOutcome& outcome)
{
    // Other failures are the framework's own trouble, which the next line
    // ("Can not get the duration ...") covers.
    if (outcome.failure == ProbeFailure::CannotRender)
        dialogs_.showError(measureFailureText(framework_, path, outcome));
}

void MainDialog::storeLastFolder()
{
    // Nothing measured and nothing listed: the folder last used stays.
    if (clipList_.isEmpty())
        return;
    settings_.writeText(kOptionSection, kLastFolderSetting, folderOf(clipList_.at(clipList_.count() - 1).path));
}

} // namespace kestrine
