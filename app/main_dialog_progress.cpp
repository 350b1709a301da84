// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/status_line.h"
#include "media/format_choice.h"
#include "media/render_plan.h"
#include "output/format_settings.h"
#include "output/framework/output_formats.h"
#include "output/framework/path_bytes.h"

#include <QProgressBar>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>

namespace kestrine {

namespace {

const QString kProgramTitle = QStringLiteral("Kestrine");

MediaTime totalLength(const ClipList& list)
{
    MediaTime total = 0;
    for (const ClipItem& item : list.items())
        total += std::max<MediaTime>(item.duration, 0);
    return total;
}

QString filesText(int count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

} // namespace

void MainDialog::createProgress()
{
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("joinProgress"));
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(true);
    progressBar_->setFormat(QStringLiteral("%p %"));
    progressBar_->hide();
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(kProgressPeriodMs);
    connect(progressTimer_, &QTimer::timeout, this, &MainDialog::updateJoinProgress);
}

void MainDialog::showJoinPreparing()
{
    // How long opening every source takes is not known: the bar only shows
    // that the work goes on.
    progressBar_->setRange(0, 0);
    progressBar_->setToolTip(QString());
    progressBar_->show();
    statusLine_->setSummary(QString());
    layoutControls();
    setStatus(QStringLiteral("Please wait... Checking the %1 to join").arg(filesText(audioList_.count())));
}

void MainDialog::startJoinProgress()
{
    progressBar_->setRange(0, 100);
    progress_.start(totalLength(audioList_));
    // The frames the graph has written are the measure, not the clock.
    seeking_ = run_.seeking();
    progressClock_.start();
    progressBar_->show();
    statusLine_->setSummary(QString());
    layoutControls();
    showJoinProgress();
    progressTimer_->start();
}

void MainDialog::updateJoinProgress()
{
    if (!joining_ || progress_.isComplete())
        return;
    MediaTime position = 0;
    if (seeking_ && succeeded(seeking_->currentPosition(position)))
        progress_.update(position, static_cast<double>(progressClock_.elapsed()) / 1000.0);
    showJoinProgress();
}

void MainDialog::showJoinProgress()
{
    progressBar_->setValue(progress_.percent());
    progressBar_->setToolTip(progress_.summaryText());
    setWindowTitle(joining_ ? progress_.titleText(kProgramTitle) : kProgramTitle);
}

void MainDialog::markJoinComplete()
{
    progress_.complete();
}

void MainDialog::stopJoinProgress()
{
    // The last reading, while the graph can still be asked.
    updateJoinProgress();
    progressTimer_->stop();
    seeking_.reset();
}

void MainDialog::showJoinEnd()
{
    // The line about the join's end takes the whole width: the bar goes with
    // the join, and the list's summary comes back with the next edit.
    progressBar_->setRange(0, 100);
    showJoinProgress();
    progressBar_->hide();
    layoutControls();
}

QString MainDialog::listSummaryText() const
{
    if (clipList_.isEmpty())
        return {};
    return QStringLiteral("%1 \u00b7 %2")
        .arg(filesText(clipList_.count()), JoinProgress::clockText(totalLength(clipList_) / kUnitsPerSecond));
}

AudioFormatRequest MainDialog::joinFormatRequest() const
{
    return fitFormatRequest(readFormatRequest(settings_), outputFormatFor(pathToBytes(output_.outputPath)).encoding);
}

std::vector<SourceFormat> MainDialog::sourceFormats() const
{
    std::vector<SourceFormat> formats;
    formats.reserve(static_cast<std::size_t>(clipList_.count()));
    for (const ClipItem& item : clipList_.items()) {
        formats.push_back(item.format);
        formats.back().length = item.duration;
    }
    return formats;
}

QString MainDialog::joinFormatText() const
{
    const std::string path = pathToBytes(output_.outputPath);
    if (clipList_.isEmpty() || isUnwritableMediaName(path))
        return {};
    const std::vector<SourceFormat> sources = sourceFormats();
    // A guess would be a promise the join may not keep.
    if (std::any_of(sources.begin(), sources.end(),
                    [](const SourceFormat& source) { return source.sampleRate <= 0 || source.channels <= 0; }))
        return {};
    // The engine's own choice, from the same values the join hands it.
    return QString::fromStdString(
        formatSummary(chooseOutputFormat(outputFormatFor(path).encoding, joinFormatRequest(), sources)));
}

QString MainDialog::idleSummaryText() const
{
    const QString format = joinFormatText();
    return format.isEmpty() ? listSummaryText() : format;
}

void MainDialog::updateListSummary()
{
    const QString summary = listSummaryText();
    const QString tip = summary.isEmpty() ? QString() : summary + QStringLiteral(" in all");
    listView_->headerItem()->setToolTip(0, tip);
    listView_->headerItem()->setToolTip(1, tip);
}

QString MainDialog::listSummary() const
{
    return statusLine_->summary();
}

} // namespace kestrine
