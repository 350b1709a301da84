// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/media_result.h"

#include <QStringList>
#include <string>
#include <vector>

namespace kestrine {

class UserDialogs;

// The encoders installed on this system, in the order the system lists them.
class EncoderCatalog {
public:
    virtual ~EncoderCatalog() = default;
    // Fails when the system's list itself cannot be had: kNotRegistered when
    // there is no catalog at all, any other failure when this kind of encoder
    // cannot be listed.
    virtual MediaResult videoEncoders(std::vector<std::string>& names) const = 0;
    virtual MediaResult audioEncoders(std::vector<std::string>& names) const = 0;
};

// Fill a list with "no compressor" first and then every installed encoder.
// Failures are shown to the user; the first entry is always there.
MediaResult fillVideoCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs);
MediaResult fillAudioCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs);

} // namespace kestrine
