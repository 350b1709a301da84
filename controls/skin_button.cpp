// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/skin_button.h"

#include "controls/effect_sound_player.h"
#include "controls/keyboard_cues.h"
#include "controls/resource_paths.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

namespace kestrine {

namespace {

// Renders an image resource at its own size, sharp on high-density screens.
QPixmap loadImage(const QString& path, qreal pixelRatio)
{
    if (path.isEmpty())
        return {};
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return QPixmap(path);
    QSvgRenderer renderer(path);
    if (!renderer.isValid() || renderer.defaultSize().isEmpty())
        return {};
    QPixmap pixmap(renderer.defaultSize() * pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

} // namespace

SkinButton::SkinButton(QWidget* parent) : SkinButton(QString(), parent)
{
}

SkinButton::SkinButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setMouseTracking(true);
    resetColors();
    // Connected first, so the button has taken the focus before anyone else
    // hears of the click.
    connect(this, &QAbstractButton::clicked, this, &SkinButton::onClicked);
}

SkinButton::~SkinButton() = default;

int SkinButton::AssignIconResources(int iconId)
{
    iconPixmap_ = QPixmap();
    iconSize_ = QSize();
    int status = kStatusOk;
    if (iconId != 0) {
        iconPixmap_ = loadImage(iconResourcePath(iconId), devicePixelRatioF());
        if (iconPixmap_.isNull())
            status = kStatusNotLoaded;
        else
            iconSize_ = iconPixmap_.deviceIndependentSize().toSize();
    }
    update();
    return status;
}

int SkinButton::SetStateSound(int soundId, bool onClick, bool async)
{
    SoundSlot& slot = sounds_[onClick ? 1 : 0];
    slot.path = soundId == 0 ? QString() : soundResourcePath(soundId);
    slot.async = async;
    return kStatusOk;
}

int SkinButton::UseParentBackground(bool repaint)
{
    useParentBackground_ = true;
    dropBackground();
    if (repaint)
        update();
    return kStatusOk;
}

int SkinButton::SetHoverCursor(int cursorId, bool repaint)
{
    hoverCursor_.reset();
    unsetCursor();
    int status = kStatusOk;
    if (cursorId != 0) {
        // Cursors are drawn at their own size; the platform scales them itself.
        const QPixmap image = loadImage(cursorResourcePath(cursorId), 1.0);
        if (image.isNull()) {
            status = kStatusNotLoaded;
        } else {
            const QPoint hotSpot = cursorHotSpot(cursorId);
            hoverCursor_ = QCursor(image, hotSpot.x(), hotSpot.y());
            setCursor(*hoverCursor_);
        }
    }
    if (repaint)
        update();
    return status;
}

int SkinButton::SetTipText(const QString& text, bool activate)
{
    if (text.isNull())
        return kStatusOk;
    tipText_ = text;
    tipActive_ = activate;
    setToolTip(activate ? text : QString());
    return kStatusOk;
}

int SkinButton::SetImagePlacement(int placement, bool repaint)
{
    if (placement < kImageLeft || placement > kImageBelow)
        return kStatusBadPlacement;
    placement_ = placement;
    if (repaint)
        update();
    return kStatusOk;
}

void SkinButton::setSoundPlayer(SoundPlayer* player)
{
    soundPlayer_ = player;
}

int SkinButton::dialogCode() const
{
    return isDefault() ? kDefaultPushButtonCode : kUndefinedPushButtonCode;
}

QRect SkinButton::iconRect() const
{
    if (!hasIcon())
        return {};
    QRect captionRect = rect();
    return placeImage(rect(), captionRect, !text().isEmpty());
}

void SkinButton::DrawBackground(QPainter& painter, const QRect& rect)
{
    QColor color = colors_[kNormalBackground];
    if (hovering_ || isDown())
        color = colors_[kHotBackground];
    else if (hasFocus())
        color = colors_[kFocusBackground];
    painter.fillRect(rect, color);
}

void SkinButton::DrawBorder(QPainter& painter, const QRect& rect)
{
    QColor topLeft;
    QColor bottomRight;
    if (isDown()) {
        topLeft = palette().color(QPalette::Dark);
        bottomRight = palette().color(QPalette::Light);
    } else if (hovering_) {
        topLeft = palette().color(QPalette::Light);
        bottomRight = palette().color(QPalette::Dark);
    } else {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(topLeft, 0));
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(QPen(bottomRight, 0));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.restore();
}

void SkinButton::DrawIconImage(QPainter& painter, const QRect& rect, QRect& captionRect)
{
    const QRect image = placeImage(rect, captionRect, !text().isEmpty());
    if (isEnabled()) {
        painter.drawPixmap(image.topLeft(), iconPixmap_);
        return;
    }
    QStyleOption option;
    option.initFrom(this);
    painter.drawPixmap(image.topLeft(),
                       style()->generatedIconPixmap(QIcon::Disabled, iconPixmap_, &option));
}

void SkinButton::DrawCaption(QPainter& painter, const QRect& captionRect)
{
    QRect area = captionRect;
    if (isDown())
        area.translate(kPressOffsetX, kPressOffsetY);
    QRect textRect = fontMetrics().boundingRect(area, kCaptionFlags, text());
    textRect.moveTo(area.left() + (area.width() - textRect.width()) / 2,
                    area.top() + (area.height() - textRect.height()) / 2);

    painter.save();
    if (!isEnabled()) {
        // Embossed: a highlight one pixel down and right, the shadow on top.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), kCaptionFlags, text());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(textRect, kCaptionFlags, text());
    } else {
        painter.setPen(captionColors().first);
        painter.drawText(textRect, kCaptionFlags, text());
    }
    painter.restore();
}

void SkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect item = rect();
    if (useParentBackground_ && parentWidget())
        paintParentBackground(painter);
    else
        DrawBackground(painter, item);
    DrawBorder(painter, item);
    QRect captionRect = item;
    if (hasIcon())
        DrawIconImage(painter, item, captionRect);
    if (!text().isEmpty())
        DrawCaption(painter, captionRect);
    if (hasFocus() && keyboardCuesShown(this))
        drawFocusMark(painter, item);
}

void SkinButton::drawFocusMark(QPainter& painter, const QRect& rect)
{
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void SkinButton::focusInEvent(QFocusEvent* event)
{
    QPushButton::focusInEvent(event);
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason
        || event->reason() == Qt::ShortcutFocusReason)
        showKeyboardCues(this);
}

void SkinButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        showKeyboardCues(this);
        break;
    default:
        break;
    }
    QPushButton::keyPressEvent(event);
}

void SkinButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    // Dragging in with the button held is not a hover.
    if (!hovering_ && (QApplication::mouseButtons() & Qt::LeftButton))
        return;
    beginHover();
}

void SkinButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    endHover();
}

void SkinButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    if (!rect().contains(event->position().toPoint())) {
        endHover();
        return;
    }
    if (!hovering_ && !(event->buttons() & Qt::LeftButton))
        beginHover();
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseDoubleClickEvent(event);
        return;
    }
    // Fast clicks are all clicks: the second press of a double click is a press.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers(), event->pointingDevice());
    mousePressEvent(&press);
    event->setAccepted(press.isAccepted());
}

void SkinButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    endHover();
}

void SkinButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange:
        if (!isActiveWindow())
            endHover();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        dropBackground();
        resetColors();
        update();
        break;
    default:
        break;
    }
}

void SkinButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    dropBackground();
}

void SkinButton::moveEvent(QMoveEvent* event)
{
    QPushButton::moveEvent(event);
    dropBackground();
}

void SkinButton::beginHover()
{
    if (hovering_)
        return;
    hovering_ = true;
    update();
    play(sounds_[0]);
}

void SkinButton::endHover()
{
    if (!hovering_)
        return;
    hovering_ = false;
    update();
}

void SkinButton::onClicked()
{
    setFocus(Qt::MouseFocusReason);
    play(sounds_[1]);
}

void SkinButton::play(const SoundSlot& slot)
{
    if (slot.path.isEmpty())
        return;
    SoundPlayer* player = soundPlayer_;
    if (!player) {
        if (!systemPlayer_)
            systemPlayer_ = std::make_unique<EffectSoundPlayer>();
        player = systemPlayer_.get();
    }
    player->play(slot.path);
}

void SkinButton::resetColors()
{
    const QColor face = palette().color(QPalette::Button);
    const QColor ink = palette().color(QPalette::ButtonText);
    colors_ = {face, ink, face, ink, face, ink};
}

void SkinButton::dropBackground()
{
    background_ = QPixmap();
}

void SkinButton::paintParentBackground(QPainter& painter)
{
    if (background_.isNull())
        background_ = captureParentBackground();
    painter.drawPixmap(0, 0, background_);
}

QPixmap SkinButton::captureParentBackground()
{
    QWidget* parent = parentWidget();
    const qreal ratio = devicePixelRatioF();
    QPixmap captured(size() * ratio);
    captured.setDevicePixelRatio(ratio);
    captured.fill(palette().color(QPalette::Window));
    parent->render(&captured, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    // Siblings below this button (a group box's frame, say) are part of what
    // the user sees behind it; the ones above are not.
    for (QObject* object : parent->children()) {
        if (object == this)
            break;
        auto* sibling = qobject_cast<QWidget*>(object);
        if (!sibling || sibling->isWindow() || !sibling->isVisible())
            continue;
        const QRect overlap = sibling->geometry() & geometry();
        if (overlap.isEmpty())
            continue;
        // Only what the sibling paints itself: a group box has no face of its
        // own, and filling one in would hide the parent's tile.
        sibling->render(&captured, overlap.topLeft() - pos(),
                        QRegion(overlap.translated(-sibling->pos())), QWidget::DrawChildren);
    }
    return captured;
}

QRect SkinButton::placeImage(const QRect& rect, QRect& captionRect, bool hasCaption) const
{
    const int w = iconSize_.width();
    const int h = iconSize_.height();
    QRect image(rect.topLeft(), iconSize_);
    switch (placement_) {
    case kImageAbove:
        image.moveLeft(rect.left() + (rect.width() - w) / 2);
        if (hasCaption) {
            image.moveTop(rect.top() + kMarginY);
            captionRect.setTop(captionRect.top() + h);
        } else {
            image.moveTop(rect.top() + (rect.height() - h) / 2);
        }
        break;
    case kImageBelow:
        image.moveLeft(rect.left() + (rect.width() - w) / 2);
        if (hasCaption) {
            image.moveTop(rect.bottom() + 1 - kMarginY - h);
            captionRect.setBottom(captionRect.bottom() - h);
        } else {
            image.moveTop(rect.top() + (rect.height() - h) / 2);
        }
        break;
    case kImageRight:
        image.moveTop(rect.top() + (rect.height() - h) / 2);
        if (hasCaption) {
            image.moveLeft(rect.right() + 1 - kMarginX - w);
            captionRect.setRight(captionRect.right() - w - kMarginX);
        } else {
            image.moveLeft(rect.left() + (rect.width() - w) / 2);
        }
        break;
    default: // kImageLeft
        image.moveTop(rect.top() + (rect.height() - h) / 2);
        if (hasCaption) {
            image.moveLeft(rect.left() + kMarginX);
            captionRect.setLeft(captionRect.left() + w + kMarginX);
        } else {
            image.moveLeft(rect.left() + (rect.width() - w) / 2);
        }
        break;
    }
    if (isDown())
        image.translate(kPressOffsetX, kPressOffsetY);
    return image;
}

std::pair<QColor, QColor> SkinButton::captionColors() const
{
    if (hovering_ || isDown())
        return {colors_[kHotText], colors_[kHotBackground]};
    if (hasFocus())
        return {colors_[kFocusText], colors_[kFocusBackground]};
    return {colors_[kNormalText], colors_[kNormalBackground]};
}

} // namespace kestrine
