// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "controls/skin_button.h"
#include "media/format_choice.h"
#include "output/codec_preference.h"
#include "output/format_settings.h"
#include "output/join_paths.h"
#include "output/framework/path_bytes.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSet>

namespace kestrine {

void MainDialog::onJoin()
{
    // Stop always stops, whatever the list holds by now: the running join was
    // built from the list as it was when it started.
    if (joining_) {
        stopJoin();
        return;
    }
    if (adding())
        return;
    if (!listCanBeJoined())
        return;
    checkSourcesThenJoin();
}

bool MainDialog::listCanBeJoined()
{
    if (clipList_.isEmpty()) {
        dialogs_.inform(QStringLiteral("Please add audio or video files into the list"));
        return false;
    }
    if (clipList_.count() > ClipList::kCapacity || audioList_.count() > ClipList::kCapacity) {
        dialogs_.inform(QStringLiteral("The video files are too many! Please delete some files in the list."));
        return false;
    }
    return true;
}

void MainDialog::joinCheckedList()
{
    // Joining into one of the sources would destroy it while it is read, and
    // a name that cannot be written would only fail once the work is done.
    if (const JoinPathProblem problem = outputProblem()) {
        dialogs_.inform(joinPathProblemText(problem) +
                        QStringLiteral(" Please choose another output file with Options."));
        return;
    }
    // The old file is only asked about here: the join puts its new file in
    // its place once there is something to put there.
    if (shell_.canOpenForReading(output_.outputPath)) {
        const MessageAnswer answer = dialogs_.showMessage(
            {QStringLiteral("%1 exists. Do you want to replace it?").arg(output_.outputPath),
             QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::YesNo});
        if (answer != MessageAnswer::Yes)
            return;
    }

    disableCodecFeedback();

    // Every source was checked, and replaced where the user chose to, before.
    joinOutputBefore_ = stampFile(pathToBytes(output_.outputPath));
    if (succeeded(run_.prepare(clipList_.items(), audioList_.items(), output_.outputPath, graphEventNotifier(), {},
                               {}, {}, joinFormatRequest())))
        checkSourcesAside();
}

void MainDialog::checkSourcesAside()
{
    preparing_ = true;
    joining_ = true;
    setJoinCaption(QStringLiteral("Stop"));
    showJoinPreparing();
    const int generation = ++checkGeneration_;
    // Opening a thousand sources takes a while: meanwhile the window paints,
    // and Stop ends the check. Nothing else touches the run until it reports.
    sourceCheck_ = std::jthread([this, generation](std::stop_token stop) {
        run_.checkSources(stop);
        QCoreApplication::postEvent(this, new SourcesCheckedEvent(generation));
    });
}

void MainDialog::sourcesChecked(int generation)
{
    // A check that Stop ended was waited for there.
    if (!preparing_ || generation != checkGeneration_)
        return;
    sourceCheck_.join();
    preparing_ = false;
    if (succeeded(run_.launch())) {
        joinStarted();
        return;
    }
    // The graph has shown why it could not start; nothing was written.
    endJoin();
    showJoinEnd();
    showOutputFile();
}

JoinPathProblem MainDialog::outputProblem() const
{
    std::vector<std::string> sources;
    for (const ClipItem& item : audioList_.items())
        sources.push_back(pathToBytes(item.path));
    return checkJoinPaths({pathToBytes(output_.outputPath), {}, {}}, sources);
}

QString MainDialog::sourceProblem(const QString& path) const
{
    if (!shell_.fileExists(path))
        return QStringLiteral("%1 does not exist.").arg(path);
    if (!shell_.isRegularFile(path))
        return QStringLiteral("%1 is not a file.").arg(path);
    if (!shell_.canOpenForReading(path))
        return QStringLiteral("%1 cannot be read.").arg(path);
    return {};
}

void MainDialog::checkSourcesThenJoin()
{
    QStringList problems;
    QStringList unjoinable;
    QSet<QString> checked;
    for (const ClipItem& item : audioList_.items()) {
        if (checked.contains(item.path))
            continue;
        checked.insert(item.path);
        const QString problem = sourceProblem(item.path);
        if (problem.isEmpty())
            continue;
        problems.append(problem);
        unjoinable.append(item.path);
    }
    if (problems.isEmpty()) {
        joinCheckedList();
        return;
    }

    const MessageAnswer answer = dialogs_.showMessage(
        {QStringLiteral("These files cannot be joined:\n\n%1\n\nChoose another file in place of each?")
             .arg(problems.join(QLatin1Char('\n'))),
         QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::YesNo});
    if (answer == MessageAnswer::Yes)
        replaceSources(unjoinable);
}

void MainDialog::replaceSources(QStringList unjoinable)
{
    if (unjoinable.isEmpty()) {
        // The list stayed open to edits while the replacements were measured.
        if (listCanBeJoined())
            joinCheckedList();
        return;
    }
    const QString path = unjoinable.takeFirst();
    OpenFilesRequest request;
    request.title = QStringLiteral("Choose a file to replace %1").arg(path);
    request.initialFolder = QFileInfo(path).absolutePath();
    request.filters = mediaFileFilters();
    const QStringList chosen = dialogs_.chooseFilesToOpen(request);
    if (chosen.isEmpty())
        return;
    // One at a time: a replacement that cannot be used ends the join's start
    // before the next one is asked for.
    measurer_.start({chosen.front()}, [this, path, rest = std::move(unjoinable)](const Measurement& measured) {
        if (replaceSource(path, measured))
            replaceSources(rest);
    });
}

bool MainDialog::replaceSource(const QString& path, const Measurement& measured)
{
    if (measured.cancelled)
        return false;
    const QString& replacement = measured.paths.front();
    const ProbeOutcome& outcome = measured.outcomes.front();
    if (outcome.failure != ProbeFailure::None) {
        explainProbeFailure(replacement, outcome);
        dialogs_.showError(QStringLiteral("Can not get the duration of %1").arg(replacement));
        return false;
    }
    // The replacement plays for its own length, wherever the old file stood.
    for (int row = 0; row < clipList_.count(); ++row) {
        if (clipList_.at(row).path != path)
            continue;
        clipList_.replaceAt(row, {replacement, outcome.duration, outcome.format});
        listView_->removeRow(row);
        listView_->insertRow(row, clipList_.at(row));
    }
    syncAudioList();
    return true;
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
    setJoinCaption(QStringLiteral("Stop"));
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
    // Which road the join takes, once it has looked at its files.
    QString road;
    switch (seeking_ ? seeking_->road() : JoinRoad::Undecided) {
    case JoinRoad::Copy:
        road = QStringLiteral(" \u00b7 copying frames");
        break;
    case JoinRoad::Encode:
        road = QStringLiteral(" \u00b7 encoding");
        break;
    case JoinRoad::Undecided:
        break;
    }
    setStatus(QStringLiteral("Please wait... Used Time: %1:%2:%3")
                  .arg(hours, 2, 10, QLatin1Char('0'))
                  .arg(minutes, 2, 10, QLatin1Char('0'))
                  .arg(seconds, 2, 10, QLatin1Char('0')) +
              road);
    updateJoinProgress();
}

void MainDialog::handleGraphEvents()
{
    if (preparing_)
        return;
    switch (run_.takeEvents()) {
    case JoinState::Completed:
        markJoinComplete();
        finishJoin();
        break;
    case JoinState::Failed:
        failJoin(run_.failureText());
        break;
    case JoinState::Stopped:
        stopJoin();
        break;
    case JoinState::Idle:
    case JoinState::Running:
        break;
    }
}

void MainDialog::endJoin()
{
    // The check stops before its next file, so this wait is short.
    if (sourceCheck_.joinable()) {
        sourceCheck_.request_stop();
        sourceCheck_.join();
    }
    preparing_ = false;
    stopJoinProgress();
    if (clockTimer_ != 0) {
        killTimer(clockTimer_);
        clockTimer_ = 0;
    }
    run_.release();
    joining_ = false;
    setJoinCaption(QStringLiteral("Join"));
    elapsedSeconds_ = 0;
}

void MainDialog::finishJoin()
{
    endJoin();
    showJoinEnd();
    setStatus(QStringLiteral("Done. Output File: %1").arg(run_.output()), run_.output());
}

void MainDialog::stopJoin()
{
    endJoin();
    const WrittenOutput written = writtenOutput();
    const QString where = describeWrittenOutput(written, run_.output());
    showJoinEnd();
    setStatus(written.kind == WrittenOutput::Kind::Sound ? QStringLiteral("Stopped. Output File: ") + where
                                                         : QStringLiteral("Stopped. ") + where,
              run_.output());
}

void MainDialog::failJoin(const QString& reason)
{
    endJoin();
    showJoinEnd();
    showOutputFile();
    // A join refused for another one's sake wrote nothing; what stands at
    // the output is the other join's.
    if (run_.failure() == result::kOutputBusy) {
        dialogs_.showError(QStringLiteral("The join stopped before the end: %1").arg(reason));
        return;
    }
    dialogs_.showError(QStringLiteral("The join stopped before the end: %1\n%2")
                           .arg(reason, describeWrittenOutput(writtenOutput(), run_.output())));
}

WrittenOutput MainDialog::writtenOutput() const
{
    // Called once the graph has stopped, so the file is closed and complete.
    return inspectWrittenOutput(framework_, shell_, run_.output(), joinOutputBefore_);
}

} // namespace kestrine
