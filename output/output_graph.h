// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/join_references.h"

#include <QString>
#include <functional>

namespace kestrine {

class UserDialogs;

// The side of the program that a starting join reports to.
class JoinHost {
public:
    virtual ~JoinHost() = default;
    // Called from the graph's threads whenever events wait; must only post.
    virtual std::function<void()> graphEventNotifier() = 0;
    // The graph runs: the host enters its joining state.
    virtual void joinStarted() = 0;
};

// Renders a join's timeline into the output file, in the format its name
// chooses (WAV, FLAC, MP3, Opus, M4A).
class OutputGraph {
public:
    OutputGraph(MediaFramework& framework, UserDialogs& dialogs);

    // references.timeline is the join's timeline; the other references are
    // filled as the graph is built. Every failure is shown to the user, and the
    // host hears joinStarted() only when the graph runs. A start that fails
    // releases the references again (as release() does), so nothing of it
    // stays registered or open. `markers` says what the join tells about
    // where each source starts, `tags` what it says about the join.
    void start(JoinReferences& references, const QString& outputPath, JoinHost& host,
               const MarkerOptions& markers = {}, const TagOptions& tags = {});

    // Stops the graph and releases the join's objects, in the order that lets
    // each one shut down cleanly.
    static void release(JoinReferences& references);

private:
    bool build(JoinReferences& references, const QString& outputPath, JoinHost& host,
               const MarkerOptions& markers, const TagOptions& tags);
    void showFrameworkText(MediaResult code);

    MediaFramework& framework_;
    UserDialogs& dialogs_;
};

} // namespace kestrine
