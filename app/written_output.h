// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/file_stamp.h"
#include "output/framework/media_time.h"

#include <QString>

namespace kestrine {

class MediaFramework;
class Shell;

// What a join that ended early left at its output path.
struct WrittenOutput {
    enum class Kind {
        Sound,      // a sound file holding `length` of the join
        NoSound,    // a sound file with no samples in it
        Unreadable, // a file that does not read as sound
        Unchanged,  // the file that was there before the join, untouched
        NoFile,     // nothing at all
    };
    Kind kind = Kind::NoFile;
    MediaTime length = 0;
};

// Looks at path once the join's file is closed; before is its stamp from when
// the join started. The length is measured through the framework, as any
// other file is.
WrittenOutput inspectWrittenOutput(MediaFramework& framework, const Shell& shell,
                                   const QString& path, const FileStamp& before);

// One sentence that says what is at path, naming it.
QString describeWrittenOutput(const WrittenOutput& written, const QString& path);

// A length as h:mm:ss, whole seconds.
QString lengthText(MediaTime length);

} // namespace kestrine
