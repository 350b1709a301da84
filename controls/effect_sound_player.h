// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "controls/sound_player.h"

#include <memory>

class QSoundEffect;

namespace kestrine {

// Plays through Qt Multimedia on the default output, or does nothing when the
// machine has none.
class EffectSoundPlayer : public SoundPlayer {
public:
    EffectSoundPlayer();
    ~EffectSoundPlayer() override;

    void play(const QString& path) override;

private:
    // Made on first use, so that widgets that never sound cost no audio set-up.
    std::unique_ptr<QSoundEffect> effect_;
};

} // namespace kestrine
