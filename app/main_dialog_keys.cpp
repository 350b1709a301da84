// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/clip_list_view.h"
#include "controls/skin_button.h"

#include <QAction>
#include <QShortcut>
#include <QUndoStack>

namespace kestrine {

void MainDialog::createShortcuts()
{
    struct CommandKeys {
        int id;
        QList<QKeySequence> keys;
    };
    const CommandKeys table[] = {
        {control::kAdd, {QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::Key_Insert)}},
        {control::kJoin, {QKeySequence(Qt::CTRL | Qt::Key_J)}},
        {control::kOptions, {QKeySequence(Qt::CTRL | Qt::Key_Comma)}},
        {control::kHelp, {QKeySequence(Qt::Key_F1)}},
        {control::kMoveUp, {QKeySequence(Qt::CTRL | Qt::Key_Up)}},
        {control::kMoveDown, {QKeySequence(Qt::CTRL | Qt::Key_Down)}},
        // The list itself takes Delete (it only means something there).
        {control::kDeleteSelected, {QKeySequence(Qt::Key_Delete)}},
    };
    for (const CommandKeys& entry : table) {
        shortcuts_.insert(entry.id, entry.keys);
        if (entry.id == control::kDeleteSelected)
            continue;
        for (const QKeySequence& keys : entry.keys) {
            auto* shortcut = new QShortcut(keys, this);
            // The list would otherwise take Ctrl+Up and Ctrl+Down to move its cursor.
            shortcut->setContext(Qt::WindowShortcut);
            const int id = entry.id;
            if (id == control::kJoin)
                connect(shortcut, &QShortcut::activated, this, &MainDialog::pressJoin);
            else
                connect(shortcut, &QShortcut::activated, this, [this, id] { runCommand(id); });
        }
    }
}

QString MainDialog::shortcutText(int id) const
{
    QStringList texts;
    for (const QKeySequence& keys : shortcuts_.value(id)) {
        // Qt shortens these two to "Ins" and "Del"; the keys say more.
        if (keys == QKeySequence(Qt::Key_Insert))
            texts.append(QStringLiteral("Insert"));
        else if (keys == QKeySequence(Qt::Key_Delete))
            texts.append(QStringLiteral("Delete"));
        else
            texts.append(keys.toString(QKeySequence::NativeText));
    }
    return texts.join(QStringLiteral(", "));
}

void MainDialog::setClock(Clock clock)
{
    clock_ = std::move(clock);
}

void MainDialog::pressJoin()
{
    if (joinCaptionChanged_ && clock_() - joinCaptionChangedAt_ < kCaptionSettleMs)
        return;
    runCommand(control::kJoin);
}

void MainDialog::setJoinCaption(const QString& caption)
{
    SkinButton* button = buttons_.value(control::kJoin);
    if (button->text() == caption)
        return;
    button->setText(caption);
    joinCaptionChanged_ = true;
    joinCaptionChangedAt_ = clock_();
}

void MainDialog::createHistory()
{
    history_ = new QUndoStack(this);
    history_->setUndoLimit(kUndoSteps);

    undoAction_ = new QAction(QStringLiteral("Undo"), this);
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoAction_->setEnabled(false);
    connect(undoAction_, &QAction::triggered, this, &MainDialog::onUndo);
    redoAction_ = new QAction(QStringLiteral("Redo"), this);
    redoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redoAction_->setEnabled(false);
    connect(redoAction_, &QAction::triggered, this, &MainDialog::onRedo);
    addAction(undoAction_);
    addAction(redoAction_);

    connect(history_, &QUndoStack::canUndoChanged, undoAction_, &QAction::setEnabled);
    connect(history_, &QUndoStack::canRedoChanged, redoAction_, &QAction::setEnabled);
    // The stack clears itself, and says so, while the dialog's children are
    // destroyed: by then the dialog is no more, so the actions are reached
    // without it.
    connect(history_, &QUndoStack::undoTextChanged, undoAction_, [action = undoAction_](const QString& text) {
        action->setText(text.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo %1").arg(text));
    });
    connect(history_, &QUndoStack::redoTextChanged, redoAction_, [action = redoAction_](const QString& text) {
        action->setText(text.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo %1").arg(text));
    });

    // Selecting rows is no edit; it only says which rows an undone edit
    // gives back selected. Mid-edit, the list and its copy differ.
    connect(listView_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!restoring_ && clipList_ == audioList_)
            selectionBeforeEdit_ = listView_->selectedRows();
    });
}

void MainDialog::restoreList(const ListState& state)
{
    restoring_ = true;
    clipList_ = state.list;
    refreshView();
    listView_->selectRows(state.selected);
    syncAudioList();
    restoring_ = false;
}

void MainDialog::onUndo()
{
    // Measuring appends to the list as it is when it ends.
    if (adding())
        return;
    history_->undo();
}

void MainDialog::onRedo()
{
    if (adding())
        return;
    history_->redo();
}

} // namespace kestrine
