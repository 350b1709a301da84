// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/link_label.h"

#include "controls/link_opening.h"
#include "controls/xdg_html_handler_lookup.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>

namespace kestrine {

QColor LinkLabel::colorFromColorRef(quint32 colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

LinkLabel::LinkLabel(Shell& shell, UserDialogs& dialogs, QWidget* parent)
    : LinkLabel(QString(), shell, dialogs, parent)
{
}

LinkLabel::LinkLabel(const QString& text, Shell& shell, UserDialogs& dialogs, QWidget* parent)
    : QLabel(text, parent),
      shell_(shell),
      dialogs_(dialogs),
      linkColor_(colorFromColorRef(kLinkColorRef)),
      visitedColor_(colorFromColorRef(kVisitedColorRef)),
      hoverColor_(colorFromColorRef(kHoverColorRef))
{
    // The text is shown as it is, never as markup that could carry links of its own.
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(text);
    hoverTimer_.setInterval(kHoverCheckIntervalMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &LinkLabel::checkHover);
    applyLook();
    resizeToText();
}

LinkLabel::~LinkLabel() = default;

void LinkLabel::SetAddress(const QString& address)
{
    url_ = address;
    if (text().isEmpty())
        setText(address);
    setToolTip(address);
    if (adjustToFit_)
        resizeToText();
}

void LinkLabel::SetUnderlineMode(int mode)
{
    if (mode == underlineMode_)
        return;
    underlineMode_ = mode;
    applyLook();
}

QString LinkLabel::address() const
{
    return url_.isEmpty() ? text() : url_;
}

QColor LinkLabel::textColor() const
{
    if (overControl_)
        return hoverColor_;
    return visited_ ? visitedColor_ : linkColor_;
}

void LinkLabel::setLinkColor(const QColor& color)
{
    linkColor_ = color;
    applyLook();
}

void LinkLabel::setVisitedColor(const QColor& color)
{
    visitedColor_ = color;
    applyLook();
}

void LinkLabel::setHoverColor(const QColor& color)
{
    hoverColor_ = color;
    applyLook();
}

int LinkLabel::OpenAddress(const QString& address)
{
    if (shell_.openDocument(address))
        return kLinkOpened;
    const int firstAttempt = openFailureCode(address);

    if (!handlerLookup_ && !desktopLookup_)
        desktopLookup_ = std::make_unique<XdgHtmlHandlerLookup>();
    const HtmlHandlerLookup& lookup = handlerLookup_ ? *handlerLookup_ : *desktopLookup_;
    const QString command = lookup.commandLine();
    if (command.isEmpty())
        return firstAttempt;

    QStringList arguments = QProcess::splitCommand(commandBeforePlaceholder(command));
    if (arguments.isEmpty())
        return firstAttempt;
    const QString program = arguments.takeFirst();
    // The address is one argument whatever it holds: it never reaches a shell.
    arguments.append(address);
    return shell_.runProgram(program, arguments) ? kLinkOpened : kLinkFileNotFound;
}

void LinkLabel::resizeToText()
{
    // Measured in the underlined font, so that the size does not change with
    // the underline.
    QFont measuring = font();
    measuring.setUnderline(true);
    const QSize textSize = QFontMetrics(measuring).size(0, text());
    const QMargins frame = contentsMargins();
    const int newWidth = textSize.width() + frame.left() + frame.right() + 2 * margin();
    const int newHeight = textSize.height() + frame.top() + frame.bottom() + 2 * margin();

    QRect area = geometry();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter)
        area.setTop(area.top() + (area.height() - newHeight) / 2);
    area.setHeight(newHeight);
    if (align & Qt::AlignHCenter)
        area.setLeft(area.left() + (area.width() - newWidth) / 2);
    else if (align & Qt::AlignRight)
        area.setLeft(area.right() + 1 - newWidth);
    area.setWidth(newWidth);
    setGeometry(area);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    if (overControl_ || !rect().contains(event->position().toPoint()))
        return;
    overControl_ = true;
    applyLook();
    hoverTimer_.start();
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    pressedInside_ = event->button() == Qt::LeftButton;
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    const bool click = pressedInside_ && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    pressedInside_ = false;
    if (click)
        activate();
}

void LinkLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // A font set from outside becomes the new base; our own changes are not news.
    if (event->type() == QEvent::FontChange && !applyingLook_) {
        applyLook();
        if (adjustToFit_)
            resizeToText();
    }
}

void LinkLabel::checkHover()
{
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        endHover();
}

void LinkLabel::endHover()
{
    hoverTimer_.stop();
    if (!overControl_)
        return;
    overControl_ = false;
    applyLook();
}

void LinkLabel::activate()
{
    hoverTimer_.stop();
    overControl_ = false;
    const int result = OpenAddress(address());
    if (result > kLinkOpenedThreshold) {
        visited_ = true;
        applyLook();
        emit linkActivated(true);
        return;
    }
    applyLook();
    QApplication::beep();
    dialogs_.showMessage({linkErrorText(result), dialogs_.applicationTitle(), MessageIcon::Warning,
                          MessageButtons::Ok});
    emit linkActivated(false);
}

void LinkLabel::applyLook()
{
    applyingLook_ = true;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, textColor());
    setPalette(colours);
    QFont look = font();
    look.setUnderline(underlineMode_ == kUnderlineAlways
                      || (underlineMode_ == kUnderlineOnHover && overControl_));
    setFont(look);
    applyingLook_ = false;
    update();
}

} // namespace kestrine
