// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/media_file_types.h"
#include "output/measure_failure.h"
#include "output/framework/path_bytes.h"
#include "platform/settings_store.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace kestrine {

namespace {

// Measuring that takes longer than this shows its progress and a Cancel button.
constexpr int kProgressDelayMs = 500;
constexpr int kProgressPollMs = 50;

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
    if (adding_)
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
    if (adding_ || paths.isEmpty())
        return;
    if (clipList_.isFull()) {
        dialogs_.inform(QStringLiteral("The list already holds %1 files, the most it can hold. "
                                       "%2 file(s) were not added.")
                            .arg(ClipList::kCapacity)
                            .arg(paths.size()));
        return;
    }

    adding_ = true;
    bool cancelled = false;
    const std::vector<ProbeOutcome> outcomes = measure(paths, cancelled);
    adding_ = false;
    if (cancelled)
        return;

    if (paths.size() == 1) {
        const ProbeOutcome& outcome = outcomes.front();
        if (outcome.failure != ProbeFailure::None) {
            explainProbeFailure(paths.front(), outcome);
            dialogs_.showError(QStringLiteral("Can not get the duration of the clip!"));
            return;
        }
        clipList_.append(paths.front(), outcome.duration);
    } else {
        int notAdded = 0;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const ProbeOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
            if (outcome.failure != ProbeFailure::None) {
                explainProbeFailure(paths[i], outcome);
                dialogs_.showError(QStringLiteral("Can not get the duration of %1").arg(paths[i]));
            } else if (!clipList_.append(paths[i], outcome.duration)) {
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

std::vector<ProbeOutcome> MainDialog::measure(const QStringList& paths, bool& cancelled)
{
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        files.push_back(pathToBytes(path));

    std::vector<ProbeOutcome> outcomes;
    std::atomic<int> done{0};
    std::atomic<bool> finished{false};
    std::stop_source stop;

    QProgressDialog progress(QStringLiteral("Measuring the files..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(paths.size()), this);
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, &progress, [&stop] { stop.request_stop(); });

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kProgressPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished.load()) {
            loop.quit();
            return;
        }
        progress.setValue(done.load());
    });

    // The window keeps painting and answering while the files are measured.
    std::jthread worker([&, token = stop.get_token()] {
        outcomes = probeDurations(framework_, files, token, [&done](int count) { done.store(count); });
        finished.store(true);
    });
    poll.start();
    if (!finished.load())
        loop.exec();
    poll.stop();
    worker.join();
    progress.reset();

    cancelled = stop.stop_requested();
    outcomes.resize(files.size());
    return outcomes;
}

void MainDialog::storeLastFolder()
{
    // Nothing measured and nothing listed: the folder last used stays.
    if (clipList_.isEmpty())
        return;
    settings_.writeText(kOptionSection, kLastFolderSetting, folderOf(clipList_.at(clipList_.count() - 1).path));
}

} // namespace kestrine
