// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/join_progress.h"

#include <algorithm>
#include <cmath>

namespace kestrine {

namespace {

// Below this share of the work an estimate of the rest is mostly noise.
constexpr double kLeastFractionToEstimate = 0.005;

} // namespace

void JoinProgress::start(MediaTime total)
{
    total_ = total;
    position_ = 0;
    elapsedSeconds_ = 0.0;
    complete_ = false;
}

void JoinProgress::update(MediaTime position, double elapsedSeconds)
{
    if (complete_)
        return;
    position_ = std::clamp<MediaTime>(position, 0, std::max<MediaTime>(total_, 0));
    elapsedSeconds_ = std::max(0.0, elapsedSeconds);
}

void JoinProgress::complete()
{
    complete_ = true;
    position_ = total_;
}

int JoinProgress::percent() const
{
    if (complete_)
        return 100;
    if (total_ <= 0)
        return 0;
    // The last frames may still be on their way to the file: 100 % waits for
    // the framework to say it is done.
    const auto whole = static_cast<int>(position_ * 100 / total_);
    return std::min(whole, 99);
}

std::optional<int> JoinProgress::secondsLeft() const
{
    if (complete_)
        return 0;
    if (total_ <= 0)
        return std::nullopt;
    const double fraction = static_cast<double>(position_) / static_cast<double>(total_);
    if (fraction < kLeastFractionToEstimate)
        return std::nullopt;
    return static_cast<int>(std::lround(elapsedSeconds_ * (1.0 - fraction) / fraction));
}

QString JoinProgress::summaryText() const
{
    QString text = QStringLiteral("%1 %").arg(percent());
    if (const std::optional<int> left = secondsLeft(); left && !complete_)
        text += QStringLiteral(" \u00b7 %1 left").arg(clockText(*left));
    return text;
}

QString JoinProgress::titleText(const QString& programTitle) const
{
    return QStringLiteral("%1 \u2014 %2").arg(summaryText(), programTitle);
}

QString JoinProgress::clockText(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(seconds, 0);
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t rest = seconds % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

} // namespace kestrine
