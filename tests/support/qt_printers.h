// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// GoogleTest finds these by the argument's namespace, Qt's global one: a
// failed comparison of texts then shows the texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        *out << (i == 0 ? " " : ", ");
        PrintTo(texts[i], out);
    }
    *out << " }";
}
