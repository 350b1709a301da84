// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QColor>
#include <QCursor>
#include <QPixmap>
#include <QPushButton>
#include <array>
#include <memory>
#include <optional>

class QPainter;

namespace kestrine {

class SoundPlayer;

// A flat push button that paints itself over its parent's own pixels: an icon
// above the caption, a thin raised border while the mouse is over it, a sunken
// one while it is held down, its own cursor, a tooltip and a short sound when
// the mouse comes in.
class SkinButton : public QPushButton {
    Q_OBJECT

public:
    // Status of the set-up calls.
    static constexpr int kStatusOk = 0;
    static constexpr int kStatusNotLoaded = 1; // an icon or cursor could not be loaded
    static constexpr int kStatusBadPlacement = 4;

    // What the button answers when a dialog asks what kind of button it is.
    static constexpr int kDefaultPushButtonCode = 0x10;
    static constexpr int kUndefinedPushButtonCode = 0x20;

    // Image placement relative to the caption.
    static constexpr int kImageLeft = 0;
    static constexpr int kImageAbove = 1;
    static constexpr int kImageRight = 2;
    static constexpr int kImageBelow = 3;

    static constexpr int kMarginX = 3;
    static constexpr int kMarginY = 3;
    static constexpr int kPressOffsetX = 1;
    static constexpr int kPressOffsetY = 1;

    explicit SkinButton(QWidget* parent = nullptr);
    explicit SkinButton(const QString& caption, QWidget* parent = nullptr);
    ~SkinButton() override;

    // Loads icon resource iconId at its own size; 0 removes the icon.
    int AssignIconResources(int iconId);
    // Sound resource soundId for entering the button (slot 0) or for a click
    // (slot 1); 0 clears the slot. Sounds never block the button: a synchronous
    // request is played asynchronously all the same.
    int SetStateSound(int soundId, bool onClick, bool async);
    int UseParentBackground(bool repaint);
    // Cursor resource cursorId while the mouse is over the button; 0 clears it.
    int SetHoverCursor(int cursorId, bool repaint);
    // A null text changes nothing; activate false keeps the text but shows no tip.
    int SetTipText(const QString& text, bool activate);
    int SetImagePlacement(int placement, bool repaint);

    // The sound player to use instead of the system's sound device; not owned,
    // must outlive the button. nullptr goes back to the system's device.
    void setSoundPlayer(SoundPlayer* player);

    // kDefaultPushButtonCode for the dialog's default button, else
    // kUndefinedPushButtonCode.
    int dialogCode() const;

    bool isHovering() const { return hovering_; }
    bool hasIcon() const { return !iconPixmap_.isNull(); }
    QSize iconPixelSize() const { return iconSize_; }
    int imagePlacement() const { return placement_; }
    bool usesParentBackground() const { return useParentBackground_; }
    bool hasHoverCursor() const { return hoverCursor_.has_value(); }
    QString tipText() const { return tipText_; }
    bool isTipActive() const { return tipActive_; }
    // Where the icon lands in the button's own coordinates for the current state.
    QRect iconRect() const;

protected:
    // The painters, in the order they run.
    virtual void DrawBackground(QPainter& painter, const QRect& rect);
    virtual void DrawBorder(QPainter& painter, const QRect& rect);
    // Draws the icon and moves captionRect out of its way.
    virtual void DrawIconImage(QPainter& painter, const QRect& rect, QRect& captionRect);
    virtual void DrawCaption(QPainter& painter, const QRect& captionRect);

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    enum ColorRole { kHotBackground, kHotText, kNormalBackground, kNormalText,
                     kFocusBackground, kFocusText, kColorCount };

    struct SoundSlot {
        QString path;
        bool async = true;
    };

    // Gap between the button's edge and its focus mark.
    static constexpr int kFocusInset = 2;

    void drawFocusMark(QPainter& painter, const QRect& rect);
    void beginHover();
    void endHover();
    void onClicked();
    void play(const SoundSlot& slot);
    void resetColors();
    void dropBackground();
    void paintParentBackground(QPainter& painter);
    QPixmap captureParentBackground();
    QRect placeImage(const QRect& rect, QRect& captionRect, bool hasCaption) const;
    std::pair<QColor, QColor> captionColors() const;

    bool hovering_ = false;
    bool useParentBackground_ = false;
    int placement_ = 0;
    QPixmap iconPixmap_;
    QSize iconSize_;
    std::optional<QCursor> hoverCursor_;
    QString tipText_;
    bool tipActive_ = false;
    QPixmap background_;
    std::array<QColor, kColorCount> colors_;
    std::array<SoundSlot, 2> sounds_;
    SoundPlayer* soundPlayer_ = nullptr;
    std::unique_ptr<SoundPlayer> systemPlayer_;
};

} // namespace kestrine
