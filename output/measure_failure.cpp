// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/measure_failure.h"

namespace kestrine {

QString measureFailureText(MediaFramework& framework, const QString& path, const ProbeOutcome& outcome)
{
    const QString reason = QString::fromStdString(framework.errorText(outcome.result));
    if (outcome.failure != ProbeFailure::CannotRender)
        return QStringLiteral("Cannot measure %1: %2").arg(path, reason);
    switch (outcome.result) {
    case result::kNoAudioStream:
        return QStringLiteral("%1 has no sound track: there is nothing in it to join.").arg(path);
    case result::kNoDecoder:
    case result::kCannotOpenSource: // from a framework that cannot say why
        return QStringLiteral("Cannot open %1. You need to install appropriate decoders.\nOr the file is corrupt.")
            .arg(path);
    default:
        // A missing file, or one that may not be read, is not a matter of
        // decoders: the framework's own reason says what is wrong.
        return QStringLiteral("Cannot open %1: %2").arg(path, reason);
    }
}

} // namespace kestrine
