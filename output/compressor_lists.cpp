// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/compressor_lists.h"

#include "platform/user_dialogs.h"

namespace kestrine {

namespace {

using EncoderList = MediaResult (EncoderCatalog::*)(std::vector<std::string>&) const;

MediaResult fillCompressors(QStringList& entries, const QString& noCompressor,
                            const EncoderCatalog& catalog, EncoderList list, UserDialogs& dialogs)
{
    entries.clear();
    entries.append(noCompressor);

    std::vector<std::string> names;
    const MediaResult listed = (catalog.*list)(names);
    if (failed(listed)) {
        // The catalog itself missing is the system enumerator failing; any
        // other failure is the catalog unable to list this kind of encoder.
        dialogs.inform(listed == result::kNotRegistered
                           ? QStringLiteral("Failed to create system enumerator")
                           : QStringLiteral("Failed to create class enumerator"));
        return listed;
    }
    for (const std::string& name : names) {
        // An encoder without a readable name cannot be offered.
        if (!name.empty())
            entries.append(QString::fromStdString(name));
    }
    return result::kOk;
}

} // namespace

MediaResult fillVideoCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs)
{
    return fillCompressors(entries, QStringLiteral("Full frames (uncompressed)"), catalog,
                           &EncoderCatalog::videoEncoders, dialogs);
}

MediaResult fillAudioCompressors(QStringList& entries, const EncoderCatalog& catalog,
                                 UserDialogs& dialogs)
{
    return fillCompressors(entries, QStringLiteral("Uncompressed Audio"), catalog,
                           &EncoderCatalog::audioEncoders, dialogs);
}

} // namespace kestrine
