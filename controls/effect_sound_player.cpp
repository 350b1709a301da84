// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/effect_sound_player.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace kestrine {

EffectSoundPlayer::EffectSoundPlayer() = default;
EffectSoundPlayer::~EffectSoundPlayer() = default;

void EffectSoundPlayer::play(const QString& path)
{
    if (path.isEmpty())
        return;
    if (!effect_) {
        if (QMediaDevices::audioOutputs().isEmpty())
            return;
        effect_ = std::make_unique<QSoundEffect>();
    }
    const QUrl source = path.startsWith(QLatin1Char(':'))
                            ? QUrl(QStringLiteral("qrc") + path)
                            : QUrl::fromLocalFile(path);
    if (effect_->source() != source)
        effect_->setSource(source);
    // A sound still playing is left alone rather than queued or restarted.
    if (!effect_->isPlaying())
        effect_->play();
}

} // namespace kestrine
