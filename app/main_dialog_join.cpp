// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "controls/skin_button.h"
#include "output/codec_preference.h"
#include "output/timeline_builder.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

namespace kestrine {

namespace {

// Two names of the same file: the same file once links and dots are resolved.
bool sameFile(const QString& first, const QString& second)
{
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (a.exists() && b.exists())
        return a.canonicalFilePath() == b.canonicalFilePath();
    return a.absoluteFilePath() == b.absoluteFilePath();
}

} // namespace

void MainDialog::onJoin()
{
    if (clipList_.isEmpty()) {
        dialogs_.inform(QStringLiteral("Please add audio or video files into the list"));
        return;
    }
    const QString tooMany = QStringLiteral("The video files are too many! Please delete some files in the list.");
    if (clipList_.count() > ClipList::kCapacity || audioList_.count() > ClipList::kCapacity) {
        dialogs_.inform(tooMany);
        return;
    }
    if (joining_) {
        finishJoin();
        return;
    }
    // Replacing the output would delete a file the join is about to read.
    if (outputIsInList()) {
        dialogs_.inform(QStringLiteral("The output file %1 is also in the list of files to join. "
                                       "Please choose another output file with Options.")
                            .arg(outputPath_));
        return;
    }
    if (shell_.canOpenForReading(outputPath_)) {
        const MessageAnswer answer = dialogs_.showMessage(
            {QStringLiteral("%1 exists. Do you want to replace it?").arg(outputPath_), QStringLiteral("Warning"),
             MessageIcon::Warning, MessageButtons::YesNo});
        if (answer != MessageAnswer::Yes)
            return;
        shell_.deleteFile(outputPath_);
    }

    disableCodecFeedback();

    TimelineBuilder builder(framework_, dialogs_,
                            [this](const std::string& path) { return askForReplacement(path); });
    builder.build(clipList_.items(), audioList_.items(), references_.timeline);

    OutputGraph graph(framework_, dialogs_);
    graph.start(references_, outputPath_, *this);
}

bool MainDialog::outputIsInList() const
{
    for (const ClipItem& item : audioList_.items()) {
        if (sameFile(item.path, outputPath_))
            return true;
    }
    for (const ClipItem& item : clipList_.items()) {
        if (sameFile(item.path, outputPath_))
            return true;
    }
    return false;
}

std::optional<std::string> MainDialog::askForReplacement(const std::string& path)
{
    const QString name = QString::fromStdString(path);
    const MessageAnswer answer = dialogs_.showMessage(
        {QStringLiteral("%1 cannot be read. Choose another file?").arg(name), QStringLiteral("Warning"),
         MessageIcon::Warning, MessageButtons::YesNo});
    if (answer != MessageAnswer::Yes)
        return std::nullopt;
    OpenFilesRequest request;
    request.title = QStringLiteral("Select Media Files...");
    request.initialFolder = QFileInfo(name).absolutePath();
    request.filters = mediaFileFilters();
    const QStringList chosen = dialogs_.chooseFilesToOpen(request);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.front().toStdString();
}

std::function<void()> MainDialog::graphEventNotifier()
{
    // Runs on the graph's threads: it may only post. The graph drops this
    // notifier before the window goes (endJoin), so the pointer stays valid.
    return [this] { QCoreApplication::postEvent(this, new QEvent(kGraphEventMessage)); };
}

void MainDialog::joinStarted()
{
    joining_ = true;
    buttons_.value(control::kJoin)->setText(QStringLiteral("Stop"));
    elapsedSeconds_ = 0;
    if (clockTimer_ != 0)
        killTimer(clockTimer_);
    clockTimer_ = startTimer(kElapsedTimerPeriodMs);
    startJoinProgress();
}

void MainDialog::clockTick()
{
    ++elapsedSeconds_;
    const int hours = elapsedSeconds_ / 3600;
    const int minutes = (elapsedSeconds_ % 3600) / 60;
    const int seconds = elapsedSeconds_ - 3600 * hours - 60 * minutes;
    setStatus(QStringLiteral("Please wait... Used Time: %1:%2:%3")
                  .arg(hours, 2, 10, QLatin1Char('0'))
                  .arg(minutes, 2, 10, QLatin1Char('0'))
                  .arg(seconds, 2, 10, QLatin1Char('0')));
    updateJoinProgress();
}

void MainDialog::handleGraphEvents()
{
    while (references_.graphEvents) {
        GraphEvent graphEvent;
        if (failed(references_.graphEvents->getEvent(graphEvent, 0)))
            break;
        references_.graphEvents->freeEventParams(graphEvent);
        if (graphEvent.code == kEventComplete) {
            markJoinComplete();
            finishJoin();
        } else if (graphEvent.code == kEventErrorAbort) {
            failJoin(static_cast<MediaResult>(graphEvent.param1));
        }
    }
}

void MainDialog::endJoin()
{
    stopJoinProgress();
    if (clockTimer_ != 0) {
        killTimer(clockTimer_);
        clockTimer_ = 0;
    }
    OutputGraph::release(references_);
    joining_ = false;
    buttons_.value(control::kJoin)->setText(QStringLiteral("Join"));
    elapsedSeconds_ = 0;
}

void MainDialog::finishJoin()
{
    endJoin();
    setStatus(QStringLiteral("Done. Output File: %1").arg(outputPath_));
    showJoinEnd();
}

void MainDialog::failJoin(MediaResult code)
{
    const QString reason = QString::fromStdString(framework_.errorText(code));
    endJoin();
    hideJoinProgress();
    showOutputFile();
    dialogs_.showError(QStringLiteral("The join stopped before the end: %1\n%2 holds what was written so far.")
                           .arg(reason, outputPath_));
}

} // namespace kestrine
