// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QLabel>

namespace kestrine {

// The sunken line at the bottom of the window. A text too long for it loses
// the middle of the path it names, never its words nor the file name at the
// path's end, and the whole text is the tooltip. A short summary can sit at
// its right end.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // path is the part of text that may be shortened; without one, the end of
    // the text gives way.
    void setStatusText(const QString& text, const QString& path = QString());
    // Shown right-aligned beside the text; an empty summary gives its room back.
    void setSummary(const QString& summary);
    QString summary() const { return summary_; }
    // The text as it is drawn at the current width.
    QString displayedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect textArea() const;
    QRect summaryArea() const;
    void updateToolTip();

    QString summary_;
    QString path_;
};

// Shortens text to width in font's metrics by cutting the middle of the text
// before its last path separator, so that the file name survives.
QString elidePathText(const QString& text, const QFontMetrics& metrics, int width);

// Shortens text to width by shortening only path, which text holds, as
// elidePathText does: the words before and after it stay whole. Only when
// the words alone do not fit is the end of the text cut instead.
QString elideStatusText(const QString& text, const QString& path, const QFontMetrics& metrics, int width);

} // namespace kestrine
