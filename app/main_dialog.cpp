// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "app/media_file_types.h"
#include "app/status_line.h"
#include "app/tile_look.h"
#include "controls/resource_paths.h"
#include "controls/skin_button.h"
#include "platform/settings_store.h"
#include "platform/user_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimerEvent>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace kestrine {

namespace {

const QString kWindowSection = QStringLiteral("Window");
const QString kWidthSetting = QStringLiteral("Width");
const QString kHeightSetting = QStringLiteral("Height");
const QString kMaximizedSetting = QStringLiteral("Maximized");

// Between the status line and the progress bar beside it.
constexpr int kProgressGap = 4;

// The dialog's size in dialog units.
constexpr int kDialogWidthUnits = 265;
constexpr int kDialogHeightUnits = 186;

struct CommandEntry {
    int id;
    void (MainDialog::*handler)();
};

struct ButtonSetUp {
    int id;
    int iconId; // 0: a text button
    const char* tip;
};

const ButtonSetUp kButtons[] = {
    {control::kAdd, kAddIconId, "Add audio or video files to list"},
    {control::kOptions, kOptionsIconId, "Customize output options"},
    {control::kJoin, kJoinIconId, "Join the files to %1"},
    {control::kHelp, kHelpIconId, "Help"},
    {control::kMoveUp, kMoveUpIconId, "Move item up"},
    {control::kMoveDown, kMoveDownIconId, "Move item down"},
    {control::kDeleteSelected, kDeleteIconId, "Delete selected item"},
    {control::kDeleteAll, kDeleteAllIconId, "Delete all items"},
    {control::kHomepage, 0, "Homepage"},
    {control::kAbout, 0, "About"},
    {control::kExit, kExitIconId, "Exit"},
};

// Reads the leading number of a text, as the C library does, but in the "C"
// locale whatever the user's locale: the stored text always uses a dot.
double leadingNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    double value = 0.0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    (void)end;
    return error == std::errc() ? value : 0.0;
}

} // namespace

MainDialog::MainDialog(MediaFramework& framework, UserDialogs& dialogs, Shell& shell,
                       SettingsStore& settings, const EncoderCatalog& encoders, QWidget* parent)
    : QDialog(parent), framework_(framework), dialogs_(dialogs), shell_(shell), settings_(settings),
      encoders_(encoders), run_(framework, dialogs), measurer_(framework, this)
{
    static constexpr CommandEntry kCommands[] = {
        {control::kAdd, &MainDialog::onAdd},
        {control::kOptions, &MainDialog::onOptions},
        {control::kJoin, &MainDialog::onJoin},
        {control::kHelp, &MainDialog::onHelp},
        {control::kExit, &MainDialog::onExit},
        {control::kMoveUp, &MainDialog::onMoveUp},
        {control::kMoveDown, &MainDialog::onMoveDown},
        {control::kDeleteSelected, &MainDialog::onDeleteSelected},
        {control::kDeleteAll, &MainDialog::onDeleteAll},
        {control::kHomepage, &MainDialog::onHomepage},
        {control::kAbout, &MainDialog::onAbout},
        {control::kAddPlaylist, &MainDialog::onAddPlaylist},
        {control::kSavePlaylist, &MainDialog::onSavePlaylist},
    };
    for (const CommandEntry& entry : kCommands)
        handlers_.insert(entry.id, entry.handler);

    setWindowTitle(QStringLiteral("Kestrine"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QApplication::font());
    setWindowIcon(QIcon(iconResourcePath(kAppIconId)));
    lightTile_ = QPixmap(bitmapResourcePath(kBackgroundTileId));

    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock_ = [started] { return static_cast<std::int64_t>(started->elapsed()); };
    createControls();
    createShortcuts();
    createHistory();
    applyTileLook();
    restoreWindowSize();
    readSettings();
    showOutputFile();
    setUpButtons();
    readFrameRate();
}

MainDialog::~MainDialog()
{
    // The graph must stop posting to this window before it goes.
    if (joining_ || run_.running())
        endJoin();
}

void MainDialog::createControls()
{
    startSize_ = dialogUnitsToPixels({0, 0, kDialogWidthUnits, kDialogHeightUnits}, font()).size();
    setMinimumSize(startSize_);
    resize(startSize_);

    topFrame_ = new QGroupBox(this);
    placeControl(topFrame_, control::kTopFrame, {7, 0, 251, 39}, kStretchWidth);

    makeButton(control::kAdd, QStringLiteral("Add"), {9, 5, 46, 32});
    makeButton(control::kOptions, QStringLiteral("Options"), {59, 5, 46, 32});
    makeButton(control::kJoin, QStringLiteral("Join"), {109, 5, 46, 32});
    makeButton(control::kHelp, QStringLiteral("&Help"), {160, 5, 46, 32});
    makeButton(control::kExit, QStringLiteral("Exit"), {210, 5, 46, 32}, kFollowRight);

    listView_ = new ClipListView(this);
    placeControl(listView_, control::kClipList, {7, 44, 219, 99}, kStretchWidth | kStretchHeight);
    connect(listView_, &ClipListView::playRequested, this, &MainDialog::onPlay);
    connect(listView_, &ClipListView::deleteRequested, this, &MainDialog::onDeleteSelected);
    // Queued: a drop must finish before a message about its files opens a box.
    connect(listView_, &ClipListView::filesDropped, this, &MainDialog::addFiles, Qt::QueuedConnection);
    connect(listView_, &ClipListView::rowsDropped, this, &MainDialog::moveRowsTo);
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_, &QWidget::customContextMenuRequested, this, &MainDialog::showListMenu);

    makeButton(control::kMoveUp, QString(), {232, 44, 24, 16}, kFollowRight);
    makeButton(control::kMoveDown, QString(), {232, 71, 24, 16}, kFollowRight);
    makeButton(control::kDeleteSelected, QString(), {232, 98, 24, 16}, kFollowRight);
    makeButton(control::kDeleteAll, QString(), {232, 125, 24, 16}, kFollowRight);
    makeButton(control::kHomepage, QStringLiteral("Homepage"), {95, 149, 42, 16}, kFollowBottom | kKeepCentred);
    makeButton(control::kAbout, QStringLiteral("About"), {180, 149, 42, 16}, kFollowBottom | kKeepCentred);

    statusLine_ = new StatusLine(this);
    statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    placeControl(statusLine_, control::kStatusLine, {7, 169, 251, 10}, kFollowBottom | kStretchWidth);
    createProgress();
}

void MainDialog::layoutControls()
{
    // Everything keeps its place at the start size; extra room goes to the
    // list, and the controls beside and below it follow its edges.
    const int dx = std::max(0, width() - startSize_.width());
    const int dy = std::max(0, height() - startSize_.height());
    for (const Placement& placement : placements_) {
        QRect rect = dialogUnitsToPixels(placement.units, font());
        if (placement.anchors & kFollowRight)
            rect.translate(dx, 0);
        if (placement.anchors & kKeepCentred)
            rect.translate(dx / 2, 0);
        if (placement.anchors & kFollowBottom)
            rect.translate(0, dy);
        if (placement.anchors & kStretchWidth)
            rect.setWidth(rect.width() + dx);
        if (placement.anchors & kStretchHeight)
            rect.setHeight(rect.height() + dy);
        placement.widget->setGeometry(rect);
    }
    if (progressBar_ && progressBar_->isVisible()) {
        // The bar takes the status line's right part; the clock keeps the rest.
        QRect line = statusLine_->geometry();
        const int barWidth = line.width() * 2 / 5;
        progressBar_->setGeometry(line.right() + 1 - barWidth, line.top(), barWidth, line.height());
        line.setRight(line.right() - barWidth - kProgressGap);
        statusLine_->setGeometry(line);
    }
}

void MainDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutControls();
}

void MainDialog::restoreWindowSize()
{
    const int width = settings_.readInt(kWindowSection, kWidthSetting, startSize_.width());
    const int height = settings_.readInt(kWindowSection, kHeightSetting, startSize_.height());
    resize(std::max(width, startSize_.width()), std::max(height, startSize_.height()));
    if (settings_.readInt(kWindowSection, kMaximizedSetting, 0) != 0)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainDialog::storeWindowSize()
{
    const bool maximized = isMaximized();
    const QSize size = maximized ? normalGeometry().size() : this->size();
    if (size.isValid()) {
        settings_.writeInt(kWindowSection, kWidthSetting, size.width());
        settings_.writeInt(kWindowSection, kHeightSetting, size.height());
    }
    settings_.writeInt(kWindowSection, kMaximizedSetting, maximized ? 1 : 0);
}

void MainDialog::done(int result)
{
    storeWindowSize();
    QDialog::done(result);
}

void MainDialog::applyTileLook()
{
    tileIsDark_ = isDarkPalette(palette());
    const TileLook look = tileLookFor(palette(), lightTile_);
    backgroundTile_ = look.tile;
    if (backgroundTile_.isNull())
        return;
    // The buttons, the frame and the status line sit on our own tile, not on
    // the desktop theme's window colour, so their texts and edges take the
    // tile's colours. The list keeps the theme's colours, which it draws its
    // own background in.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == listView_)
            continue;
        QPalette onTile = child->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
                onTile.setColor(group, role, look.text);
            // The hover and press borders are lit and shaded as on the tile,
            // not as on the theme's faces, where both edges can be dark.
            onTile.setColor(group, QPalette::Light, look.light);
            onTile.setColor(group, QPalette::Dark, look.shadow);
        }
        child->setPalette(onTile);
    }
    update();
}

void MainDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The desktop switched between light and dark while the window is open.
    const bool paletteChanged =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (paletteChanged && listView_ && isDarkPalette(palette()) != tileIsDark_)
        applyTileLook();
}

void MainDialog::placeControl(QWidget* widget, int id, const QRect& units, int anchors)
{
    widget->setObjectName(controlName(id));
    widget->setGeometry(dialogUnitsToPixels(units, font()));
    placements_.push_back({widget, units, anchors});
}

SkinButton* MainDialog::makeButton(int id, const QString& caption, const QRect& units, int anchors)
{
    auto* button = new SkinButton(caption, this);
    placeControl(button, id, units, anchors);
    // Enter is the dialog's to handle: it closes the window unless a button has the focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (id == control::kJoin)
        connect(button, &QPushButton::clicked, this, &MainDialog::pressJoin);
    else
        connect(button, &QPushButton::clicked, this, [this, id] { runCommand(id); });
    buttons_.insert(id, button);
    return button;
}

void MainDialog::setUpButtons()
{
    for (const ButtonSetUp& setUp : kButtons) {
        SkinButton* button = buttons_.value(setUp.id);
        if (setUp.iconId != 0)
            button->AssignIconResources(setUp.iconId);
        button->SetStateSound(kHoverSoundId, false, true);
        button->UseParentBackground(false);
        button->SetHoverCursor(kHoverCursorId, true);
        button->SetTipText(buttonTip(setUp.id), true);
        button->SetImagePlacement(SkinButton::kImageAbove, true);
    }
}

QString MainDialog::buttonTip(int id) const
{
    const auto setUp = std::find_if(std::begin(kButtons), std::end(kButtons),
                                    [id](const ButtonSetUp& button) { return button.id == id; });
    if (setUp == std::end(kButtons))
        return {};
    QString tip = QString::fromLatin1(setUp->tip);
    if (id == control::kJoin)
        tip = tip.arg(outputFormatName(output_.outputPath));
    // The keys follow the words, so that whatever a tooltip says, it ends
    // with how to reach the command without the mouse.
    if (const QString keys = shortcutText(id); !keys.isEmpty())
        tip += QStringLiteral(" (%1)").arg(keys);
    return tip;
}

void MainDialog::updateButtonTip(int id)
{
    if (SkinButton* button = buttons_.value(id))
        button->SetTipText(buttonTip(id), true);
}

void MainDialog::readSettings()
{
    const QString defaultOutput = QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("kestrine.wav")));
    output_.outputPath = settings_.readText(QStringLiteral("Settings"), QStringLiteral("OutputName"), defaultOutput);
    output_.outputWidth = settings_.readInt(QStringLiteral("Settings"), QStringLiteral("OutputWidth"), 352);
    output_.outputHeight = settings_.readInt(QStringLiteral("Settings"), QStringLiteral("OutputHigh"), 240);
}

void MainDialog::readFrameRate()
{
    output_.frameRateIndex = settings_.readInt(QStringLiteral("Settings"), QStringLiteral("OutputFrameRateIndex"), 0);
    switch (output_.frameRateIndex) {
    case 0: output_.frameRate = 23.976; break;
    case 1: output_.frameRate = 24.0; break;
    case 2: output_.frameRate = 25.0; break;
    case 3: output_.frameRate = 29.97; break;
    case 4: output_.frameRate = 30.0; break;
    case 5:
        output_.frameRate = leadingNumber(
            settings_.readText(QStringLiteral("Settings"), QStringLiteral("OutputFrameRate"), QStringLiteral("23.976")));
        break;
    default:
        output_.frameRateIndex = 0;
        output_.frameRate = 23.976;
        break;
    }
}

QString MainDialog::statusText() const
{
    return statusLine_->text();
}

void MainDialog::setStatus(const QString& text, const QString& path)
{
    statusLine_->setStatusText(text, path);
}

void MainDialog::showOutputFile()
{
    setStatus(QStringLiteral("Output File: %1").arg(output_.outputPath), output_.outputPath);
    // While a join runs, the progress bar has the line's right end.
    statusLine_->setSummary(joining_ ? QString() : idleSummaryText());
}

bool MainDialog::runCommand(int id)
{
    const auto handler = handlers_.constFind(id);
    if (handler == handlers_.constEnd())
        return false;
    (this->*handler.value())();
    return true;
}

void MainDialog::onExit()
{
    close();
}

void MainDialog::reject()
{
    // Every way of closing ends here: the close box, Exit, Enter and Escape.
    if (adding())
        return;
    if (joining_) {
        dialogs_.inform(QStringLiteral("Please first stop Convert"));
        return;
    }
    QDialog::reject();
}

void MainDialog::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        else
            closeFromKeyboard();
        return;
    }
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        closeFromKeyboard();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainDialog::closeFromKeyboard()
{
    // One key press must not throw away a list that took minutes to arrange.
    // While a join runs the close is refused anyway, with its own message.
    if (!joining_ && !adding() && !clipList_.isEmpty()) {
        // No by default: a second press of the key that asked must not lose the list.
        const MessageAnswer answer = dialogs_.showMessage(
            {QStringLiteral("Close Kestrine? The list of %1 files will be lost.").arg(clipList_.count()),
             dialogs_.applicationTitle(), MessageIcon::Warning, MessageButtons::YesNo, MessageAnswer::No});
        if (answer != MessageAnswer::Yes)
            return;
    }
    runCommand(control::kExit);
}

void MainDialog::paintEvent(QPaintEvent* event)
{
    if (backgroundTile_.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawTiledPixmap(rect(), backgroundTile_);
}

bool MainDialog::event(QEvent* event)
{
    if (event->type() == kGraphEventMessage) {
        handleGraphEvents();
        return true;
    }
    if (event->type() == kSourcesCheckedMessage) {
        sourcesChecked(static_cast<const SourcesCheckedEvent*>(event)->generation);
        return true;
    }
    return QDialog::event(event);
}

void MainDialog::timerEvent(QTimerEvent* event)
{
    if (clockTimer_ != 0 && event->timerId() == clockTimer_) {
        clockTick();
        return;
    }
    QDialog::timerEvent(event);
}

void MainDialog::refreshView()
{
    listView_->showItems(clipList_);
}

void MainDialog::syncAudioList()
{
    // Every edit of the list ends here, so this is where it becomes one step
    // that Undo takes back: the copy still holds the list before the edit.
    const bool changed = audioList_ != clipList_;
    if (!restoring_ && changed) {
        history_->push(new ListEdit({audioList_, selectionBeforeEdit_}, {clipList_, listView_->selectedRows()},
                                    [this](const ListState& state) { restoreList(state); }));
    }
    audioList_ = clipList_;
    selectionBeforeEdit_ = listView_->selectedRows();
    updateListSummary();
    // A line about the last join is old news once the list changed; a join
    // that runs keeps its clock.
    if (changed && !joining_)
        showOutputFile();
}

} // namespace kestrine
