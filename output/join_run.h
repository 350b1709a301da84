// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/clip_item.h"
#include "output/join_references.h"
#include "output/output_graph.h"

#include <QString>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>

namespace kestrine {

class UserDialogs;

// Where a join is, as its front end needs to know it.
enum class JoinState {
    Idle,      // nothing started, or the last join's objects are released
    Running,   // the graph writes
    Completed, // the whole timeline is written
    Failed,    // the graph gave up; failure() says why
    Stopped,   // the graph was stopped before the end
};

// One join from its start to its release, the same for the window and the
// console: the clash check, the timeline and the graph, what each graph event
// means, and the order in which the join's objects go.
class JoinRun : private JoinHost {
public:
    JoinRun(MediaFramework& framework, UserDialogs& dialogs);
    ~JoinRun() override;
    JoinRun(const JoinRun&) = delete;
    JoinRun& operator=(const JoinRun&) = delete;

    // Whether output may be written while sources are read: result::kOk, or
    // the reason checkOutputPath gives (it is a source, or not a regular file).
    static MediaResult checkOutput(const QString& output, std::span<const ClipItem> sources);

    // Builds the timeline (clipList gives the total length, audioList the
    // sources placed) and starts the graph writing output. notify is called on
    // the graph's threads whenever events wait, and may only post. An output
    // that clashes with a source is refused before anything is built; a start
    // that fails has shown its reason and keeps nothing. kOk when running.
    // markers says what the join tells about where each source starts, tags
    // what it says about the join, format what the output is asked to be.
    MediaResult start(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                      const QString& output, std::function<void()> notify,
                      MissingSourceHandler missingSourceHandler = {}, const MarkerOptions& markers = {},
                      const TagOptions& tags = {}, const AudioFormatRequest& format = {});

    // start() in its three steps, for a front end that stays live while the
    // sources are checked. prepare() and launch() run on the front end's
    // thread and show their failures; checkSources() opens every source, which
    // takes a while with many, shows nothing, and may run on another thread
    // while nothing else touches this run. Each step answers kOk to go on.
    MediaResult prepare(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                        const QString& output, std::function<void()> notify,
                        MissingSourceHandler missingSourceHandler = {}, const MarkerOptions& markers = {},
                        const TagOptions& tags = {}, const AudioFormatRequest& format = {});
    // kStopped when stop was requested before the check was done; the run
    // then holds nothing that release() would not let go.
    MediaResult checkSources(std::stop_token stop = {});
    MediaResult launch();

    // Takes the waiting events, in order, up to the first that ends the join,
    // and answers the state after them. Completion, an error abort and a
    // user abort end it (Completed, Failed, Stopped); every other event is
    // taken and dropped. Without a running join nothing is asked.
    JoinState takeEvents();

    // Stops the graph and lets go of the join's objects, the graph's threads
    // first, so that each shuts down cleanly. A running join counts as
    // Stopped; the file then holds what was written.
    void release();

    JoinState state() const { return state_; }
    bool running() const { return state_ == JoinState::Running; }
    // Why a Failed join failed; always a failure code.
    MediaResult failure() const { return failure_; }
    // The file whose failure ended a Failed join, as the timeline names it;
    // empty when no source was to blame.
    const QString& failedSource() const { return failedSource_; }
    // Why a Failed join failed, in the words both front ends show: the
    // file to blame, if any, and the reason.
    QString failureText() const;
    const QString& output() const { return output_; }
    MediaTime totalDuration() const { return totalDuration_; }
    const JoinReferences& references() const { return references_; }
    // How far the graph has written; null when it cannot tell.
    std::shared_ptr<MediaSeeking> seeking() const;

private:
    std::function<void()> graphEventNotifier() override;
    void joinStarted() override;
    // The path of the group's source at `index`, in track order.
    QString sourceName(std::intptr_t index) const;

    MediaFramework& framework_;
    UserDialogs& dialogs_;
    JoinReferences references_;
    std::function<void()> notify_;
    JoinState state_ = JoinState::Idle;
    MediaResult failure_ = result::kOk;
    QString failedSource_;
    QString output_;
    MissingSourceHandler missingSourceHandler_;
    MarkerOptions markers_;
    TagOptions tags_;
    MediaTime totalDuration_ = 0;
};

} // namespace kestrine
