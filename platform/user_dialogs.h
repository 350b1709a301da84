// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrine {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // The answer of Enter in a Yes/No box; Escape always answers No.
    MessageAnswer defaultAnswer = MessageAnswer::Yes;
};

struct OpenFilesRequest {
    QString title;
    QString initialFolder;
    QStringList filters; // "Description (patterns)", first is selected
};

struct SaveFileRequest {
    QString title;
    QString initialFolder;
    QString initialName;
    QStringList filters;
    // Whether the dialog itself asks before an existing file is chosen.
    bool askToReplace = true;
};

// What the save dialog answered.
struct SaveFileChoice {
    QString path;
    // The index in SaveFileRequest::filters of the type the user left chosen.
    int filter = 0;
};

// Every message box and file dialog of the program goes through here, so that
// the program can run headless (tests, the console joiner) with another answerer.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // The executable's base name: the caption of the program's standard boxes.
    virtual QString applicationTitle() const = 0;

    virtual MessageAnswer showMessage(const MessageRequest& request) = 0;
    // Full paths of the chosen files in the dialog's order; empty when cancelled.
    virtual QStringList chooseFilesToOpen(const OpenFilesRequest& request) = 0;
    // The chosen path and file type, or nothing when cancelled.
    virtual std::optional<SaveFileChoice> chooseFileToSave(const SaveFileRequest& request) = 0;

    // The standard box: application title as caption, OK button.
    void inform(const QString& text) {
        showMessage({text, applicationTitle(), MessageIcon::None, MessageButtons::Ok});
    }
    void showError(const QString& text) {
        showMessage({text, QStringLiteral("Error"), MessageIcon::Error, MessageButtons::Ok});
    }
};

} // namespace kestrine
