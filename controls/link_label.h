// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <memory>

namespace kestrine {

class HtmlHandlerLookup;
class Shell;
class UserDialogs;

// A text that works as a web link: blue, red under the mouse, purple once
// visited, underlined as asked, with a pointing hand and the address as tip.
// A click opens the address in the user's browser.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    // Colours as 0x00BBGGRR values, red in the low byte.
    static constexpr quint32 kLinkColorRef = 0x00EE0000;    // blue
    static constexpr quint32 kVisitedColorRef = 0x008B1A55; // purple
    static constexpr quint32 kHoverColorRef = 0x000000FF;   // red
    static QColor colorFromColorRef(quint32 colorRef);

    // Underline modes.
    static constexpr int kUnderlineAlways = 1;
    static constexpr int kUnderlineOnHover = -1;
    static constexpr int kUnderlineNever = 0;

    // How often the label looks whether the mouse has left it.
    static constexpr int kHoverCheckIntervalMs = 100;

    LinkLabel(Shell& shell, UserDialogs& dialogs, QWidget* parent = nullptr);
    LinkLabel(const QString& text, Shell& shell, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~LinkLabel() override;

    // The address a click opens; the label shows it when it has no text.
    void SetAddress(const QString& address);
    void SetUnderlineMode(int mode);
    // Opens address in the user's browser, else through the program registered
    // for web pages. Returns a result code above kLinkOpenedThreshold on success.
    int OpenAddress(const QString& address);

    // The address a click opens: the one set, else the label's own text.
    QString address() const;
    int underlineMode() const { return underlineMode_; }
    bool isVisited() const { return visited_; }
    bool isOverControl() const { return overControl_; }
    bool isUnderlined() const { return font().underline(); }
    // The colour the text has now.
    QColor textColor() const;

    void setLinkColor(const QColor& color);
    void setVisitedColor(const QColor& color);
    void setHoverColor(const QColor& color);
    // Resize the label to its text whenever the address is set (on by default).
    void setAdjustToFit(bool adjust) { adjustToFit_ = adjust; }
    void resizeToText();

    // Where the web-page handler is looked up; not owned, must outlive the
    // label. nullptr goes back to the desktop's own settings.
    void setHtmlHandlerLookup(const HtmlHandlerLookup* lookup) { handlerLookup_ = lookup; }

signals:
    // After a click: whether the address could be opened.
    void linkActivated(bool opened);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void checkHover();
    void endHover();
    void activate();
    void applyLook();

    Shell& shell_;
    UserDialogs& dialogs_;
    const HtmlHandlerLookup* handlerLookup_ = nullptr;
    std::unique_ptr<HtmlHandlerLookup> desktopLookup_;
    QString url_;
    QColor linkColor_;
    QColor visitedColor_;
    QColor hoverColor_;
    bool overControl_ = false;
    bool visited_ = false;
    bool pressedInside_ = false;
    bool applyingLook_ = false;
    int underlineMode_ = kUnderlineOnHover;
    bool adjustToFit_ = true;
    QTimer hoverTimer_;
};

} // namespace kestrine
