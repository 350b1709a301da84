// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_time.h"

#include <QString>
#include <optional>

namespace kestrine {

// How far a join has come and how long it still needs, from the complete
// frames the media framework reports written and the time used so far.
class JoinProgress {
public:
    // A join of total length begins.
    void start(MediaTime total);
    // The framework has written position; elapsedSeconds have passed since start.
    void update(MediaTime position, double elapsedSeconds);
    // The whole timeline is written.
    void complete();

    // 0 to 100; 100 only once the join is complete, however close it came before.
    int percent() const;
    // Nothing until some of the join is done to estimate from.
    std::optional<int> secondsLeft() const;
    bool isComplete() const { return complete_; }

    // "42 % · 1:13 left" (or "42 %" while nothing can be estimated yet).
    QString summaryText() const;
    // The window title while joining: the summary before the program's name.
    QString titleText(const QString& programTitle) const;

    // Seconds as "m:ss", or "h:mm:ss" from an hour on.
    static QString clockText(std::int64_t seconds);

private:
    MediaTime total_ = 0;
    MediaTime position_ = 0;
    double elapsedSeconds_ = 0.0;
    bool complete_ = false;
};

} // namespace kestrine
