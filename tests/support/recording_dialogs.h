// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "platform/user_dialogs.h"
#include "tests/support/qt_printers.h" // tests compare the texts shown

#include <QList>
#include <deque>

namespace kestrine::testing {

// Records every box in order and answers from a script, so tests never open a
// real modal window.
class RecordingDialogs : public UserDialogs {
public:
    QString applicationTitle() const override { return QStringLiteral("kestrine"); }

    MessageAnswer showMessage(const MessageRequest& request) override
    {
        messages.append(request);
        if (request.buttons == MessageButtons::YesNo) {
            if (yesNoAnswers.empty())
                return MessageAnswer::No;
            const MessageAnswer answer = yesNoAnswers.front();
            yesNoAnswers.pop_front();
            return answer;
        }
        return MessageAnswer::Ok;
    }

    QStringList chooseFilesToOpen(const OpenFilesRequest& request) override
    {
        openRequests.append(request);
        if (openAnswers.empty())
            return {};
        QStringList answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }

    std::optional<SaveFileChoice> chooseFileToSave(const SaveFileRequest& request) override
    {
        saveRequests.append(request);
        int filter = 0;
        if (!saveFilterAnswers.empty()) {
            filter = saveFilterAnswers.front();
            saveFilterAnswers.pop_front();
        }
        if (saveAnswers.empty())
            return std::nullopt;
        const QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (answer.isEmpty())
            return std::nullopt;
        return SaveFileChoice{answer, filter};
    }

    QStringList texts() const
    {
        QStringList all;
        for (const MessageRequest& message : messages)
            all.append(message.text);
        return all;
    }

    QList<MessageRequest> messages;
    QList<OpenFilesRequest> openRequests;
    QList<SaveFileRequest> saveRequests;
    std::deque<MessageAnswer> yesNoAnswers;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers; // an empty text cancels
    // The file type left chosen with each save answer; the first when none is given.
    std::deque<int> saveFilterAnswers;
};

} // namespace kestrine::testing
