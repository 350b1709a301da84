// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"
#include "app/file_measurer.h"
#include "app/join_progress.h"
#include "app/list_edit.h"
#include "app/written_output.h"
#include "output/duration_probe.h"
#include "output/join_paths.h"
#include "output/join_run.h"
#include "output/output_settings_dialog.h"
#include "platform/widgets/dialog_units.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QKeySequence>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

class QAction;
class QGroupBox;
class QUndoStack;
class QProgressBar;
class QTimer;

namespace kestrine {

class ClipListView;
class StatusLine;
class SkinButton;
class EncoderCatalog;
class MediaFramework;
class SettingsStore;
class Shell;
class UserDialogs;

// Control and command ids of the main dialog.
namespace control {
inline constexpr int kExit = 1;
inline constexpr int kJoin = 1000;
inline constexpr int kOptions = 1003;
inline constexpr int kAdd = 1006;
inline constexpr int kClipList = 1008;
inline constexpr int kStatusLine = 1021;
inline constexpr int kDeleteSelected = 1029;
inline constexpr int kDeleteAll = 1030;
inline constexpr int kMoveUp = 1031;
inline constexpr int kMoveDown = 1032;
inline constexpr int kAbout = 1042;
inline constexpr int kHomepage = 1047;
inline constexpr int kHelp = 57670;
inline constexpr int kTopFrame = -1;
// Commands of the list's context menu.
inline constexpr int kAddPlaylist = 1101;
inline constexpr int kSavePlaylist = 1102;
} // namespace control

inline constexpr int kElapsedTimerPeriodMs = 1000;
// The progress bar moves more often than the clock ticks.
inline constexpr int kProgressPeriodMs = 250;
inline constexpr QEvent::Type kGraphEventMessage = static_cast<QEvent::Type>(QEvent::User + 13);
// The check of a starting join's sources has ended, on a thread of its own.
inline constexpr QEvent::Type kSourcesCheckedMessage = static_cast<QEvent::Type>(QEvent::User + 14);
struct SourcesCheckedEvent : QEvent {
    explicit SourcesCheckedEvent(int checkGeneration) : QEvent(kSourcesCheckedMessage), generation(checkGeneration) {}
    const int generation; // which start's check
};
// Join and Stop share one button: a click this soon after its caption changed
// was aimed at the caption before.
inline constexpr std::int64_t kCaptionSettleMs = 500;
// List edits that Undo can take back, oldest first forgotten.
inline constexpr int kUndoSteps = 100;

// The program's one window: the clip list, its commands, and the join.
class MainDialog : public QDialog {
    Q_OBJECT
public:
    MainDialog(MediaFramework& framework, UserDialogs& dialogs, Shell& shell,
               SettingsStore& settings, const EncoderCatalog& encoders, QWidget* parent = nullptr);
    ~MainDialog() override;

    // The choices of the Add dialog, in Qt's "Description (patterns)" form.
    static QStringList mediaFileFilters();

    // Runs the handler of a command id; false for an id without one.
    bool runCommand(int id);

    const ClipList& clipList() const { return clipList_; }
    const ClipList& audioList() const { return audioList_; }
    const QString& outputPath() const { return output_.outputPath; }
    double frameRate() const { return output_.frameRate; }
    int frameRateIndex() const { return output_.frameRateIndex; }
    int outputWidth() const { return output_.outputWidth; }
    int outputHeight() const { return output_.outputHeight; }
    bool joining() const { return joining_; }
    // A join whose sources are still being checked: Stop works, nothing is written yet.
    bool preparingJoin() const { return preparing_; }
    int elapsedSeconds() const { return elapsedSeconds_; }
    const JoinReferences& joinReferences() const { return run_.references(); }
    QString statusText() const;
    // The list's size and length at the status line's right end; empty for an empty list.
    QString listSummary() const;
    // What a join of the list writes, as "48,000 Hz mono, 24-bit FLAC"; empty
    // for an empty list, a file whose format measuring could not tell, or an
    // output name that cannot be written.
    QString joinFormatText() const;
    const JoinProgress& joinProgress() const { return progress_; }

    // One tick of the join clock.
    void clockTick();
    // Takes the waiting graph events; completion finishes the join, a
    // failure or a user abort ends it early.
    void handleGraphEvents();
    // Ends a join that wrote the whole list and says where its file is.
    void finishJoin();

    // Measures paths and appends those that can be measured, as Add does after
    // its dialog. It returns at once; addFinished() says when the list has them.
    void addFiles(const QStringList& paths);
    // From the start of measuring files until their result is taken in.
    bool measuring() const { return measurer_.running(); }

    // Milliseconds on a clock that never goes back; the program's own by default.
    using Clock = std::function<std::int64_t()>;
    void setClock(Clock clock);

    // The keys of a command, in the words of its tooltip: "Ctrl+O, Insert".
    QString shortcutText(int id) const;

signals:
    // An add has ended: its files are listed, or were refused, or cancelled.
    void addFinished();

public slots:
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void done(int result) override;

private:
    // How a control follows the window when it grows.
    enum Anchor {
        kFixed = 0,
        kFollowRight = 1,
        kFollowBottom = 2,
        kStretchWidth = 4,
        kStretchHeight = 8,
        kKeepCentred = 16, // moves by half the extra width
    };
    struct Placement {
        QWidget* widget;
        QRect units;
        int anchors;
    };

    using Handler = void (MainDialog::*)();

    void createControls();
    // The tile and the colours drawn on it, light or dark as the palette is.
    void applyTileLook();
    void closeFromKeyboard();
    void placeControl(QWidget* widget, int id, const QRect& units, int anchors = kFixed);
    SkinButton* makeButton(int id, const QString& caption, const QRect& units, int anchors = kFixed);
    void layoutControls();
    void restoreWindowSize();
    void storeWindowSize();
    void setUpButtons();
    void readSettings();
    void readFrameRate();
    // The tooltip of a button; the Join button's names the output's format.
    QString buttonTip(int id) const;
    void updateButtonTip(int id);
    // path is the part of text that may be shortened when the line is short.
    void setStatus(const QString& text, const QString& path = QString());
    // The idle line: the output file, and the list's summary at its end.
    void showOutputFile();

    void refreshView();
    void syncAudioList();

    // Keyboard shortcuts, and Undo and Redo of list edits.
    void createShortcuts();
    void createHistory();
    void restoreList(const ListState& state);
    void onUndo();
    void onRedo();
    // A click or key on Join/Stop, as opposed to the command itself.
    void pressJoin();
    void setJoinCaption(const QString& caption);

    // The join's progress bar, title and time left.
    void createProgress();
    void showJoinPreparing();
    void startJoinProgress();
    void updateJoinProgress();
    void showJoinProgress();
    void markJoinComplete();
    void stopJoinProgress();
    void showJoinEnd();
    void updateListSummary();
    QString listSummaryText() const;
    // The idle line's summary: what the join writes, or, where that is not
    // known, the list's size and length.
    QString idleSummaryText() const;
    // The choices of Options, as near as the output's format comes to them.
    AudioFormatRequest joinFormatRequest() const;
    std::vector<SourceFormat> sourceFormats() const;

    // The list's context menu and what only it offers.
    void showListMenu(const QPoint& position);
    void showSelectedInFolder();
    void onAddPlaylist();
    void onSavePlaylist();

public:
    // Moves the items of rows (ascending) in front of row target, as a drag
    // within the list does; the moved rows stay selected.
    void moveRowsTo(const QVector<int>& rows, int target);

private:

    // Commands.
    void onAdd();
    void onJoin();
    void onOptions();
    void onHelp();
    void onExit();
    // The selected rows in ascending order; with none, the user is asked to select.
    QVector<int> selectedRowsOrAsk();
    void onMoveUp();
    void onMoveDown();
    void onDeleteSelected();
    void onDeleteAll();
    void onPlay();
    void onHomepage();
    void onAbout();
    // Opens a file or address with the desktop; on failure says what and why.
    bool openOrExplain(const QString& pathOrAddress);
    void explainOpenFailure(const QString& pathOrAddress, int code);

    void addMeasured(const Measurement& measured);
    // Measuring files or reading a playlist: the list is about to change.
    bool adding() const { return readingPlaylist_ || measurer_.running(); }
    void storeLastFolder();
    // Why the output may not be written, if it may not: it is a source, not a
    // regular file, in a folder that is missing or closed, ...
    JoinPathProblem outputProblem() const;
    // Posts the graph's notification to this window; runs on the graph's threads.
    std::function<void()> graphEventNotifier();
    // Checks the prepared join's sources on a thread of their own; the
    // window stays live and Stop ends the check.
    void checkSourcesAside();
    void sourcesChecked(int generation);
    void joinStarted();
    void endJoin();
    void failJoin(const QString& reason);

    // The join's checks before it starts, and its endings other than completion.
    bool listCanBeJoined();
    QString sourceProblem(const QString& path) const;
    // Asks about the sources that cannot be read, has them replaced one by
    // one, and goes on to joinCheckedList() once every source can be read.
    void checkSourcesThenJoin();
    void replaceSources(QStringList unjoinable);
    bool replaceSource(const QString& path, const Measurement& measured);
    void joinCheckedList();
    void explainProbeFailure(const QString& path, const ProbeOutcome& outcome);
    void stopJoin();
    WrittenOutput writtenOutput() const;

    MediaFramework& framework_;
    UserDialogs& dialogs_;
    Shell& shell_;
    SettingsStore& settings_;
    const EncoderCatalog& encoders_;

    ClipList clipList_;
    ClipList audioList_;
    // The output file, and the format values handed to Options, which the
    // window never changes itself.
    OutputSettings output_;
    bool joining_ = false;
    int elapsedSeconds_ = 0;
    int clockTimer_ = 0;
    bool readingPlaylist_ = false;
    // The running join, and how the file it writes (whatever Options says
    // meanwhile) looked before it.
    JoinRun run_;
    FileStamp joinOutputBefore_;
    // The check of a starting join's sources; each start counts one up, so
    // that a check's late report is not taken for the next one's.
    std::jthread sourceCheck_;
    bool preparing_ = false;
    int checkGeneration_ = 0;

    QPixmap lightTile_;
    QPixmap backgroundTile_;
    bool tileIsDark_ = false;
    QHash<int, Handler> handlers_;
    QHash<int, SkinButton*> buttons_;
    ClipListView* listView_ = nullptr;
    StatusLine* statusLine_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    JoinProgress progress_;
    std::shared_ptr<MediaSeeking> seeking_;
    QElapsedTimer progressClock_;
    QSize startSize_;
    std::vector<Placement> placements_;
    QGroupBox* topFrame_ = nullptr;

    Clock clock_;
    std::int64_t joinCaptionChangedAt_ = 0;
    bool joinCaptionChanged_ = false;
    QHash<int, QList<QKeySequence>> shortcuts_;
    QUndoStack* history_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    // The selection the next edit starts from, and whether a restore is under way.
    QVector<int> selectionBeforeEdit_;
    bool restoring_ = false;
    // Last, so that its worker stops before anything its results reach goes.
    FileMeasurer measurer_;
};

} // namespace kestrine
