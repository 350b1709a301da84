// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/encoder_catalog.h"
#include "output/framework/media_result.h"

#include <QStringList>

namespace kestrine {

class UserDialogs;

// Fill a list with "no compressor" first and then every installed encoder.
// Failures are shown to the user; the first entry is always there.
MediaResult fillVideoCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs);
MediaResult fillAudioCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs);

} // namespace kestrine
