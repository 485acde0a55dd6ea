#include "Label.h"

#include "Accessibility.h"
#include "ShownText.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace zr::ui {

Label::Label(QWidget* parent) : Element(parent) {
    // A label owns the moves over it; with tracking off they would travel on to the window.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void Label::Move(int left, int top, int width, int height) {
    Element::Move(left, top, width, height);
    if (autoSize_)
        FitToCaption();
}

void Label::SetCaption(const QString& caption) {
    // The clock and the position set their captions every second, mostly to what they were.
    const bool changed = caption != caption_;
    caption_ = caption;
    if (autoSize_)
        FitToCaption();
    update();
    if (!changed)
        return;
    // The caption is what a screen reader reads (unless the label was given a name, or is
    // presented by another element), so a new value is announced.
    if (QAccessible::isActive() && accessibleName().isEmpty() &&
        !IsHiddenFromScreenReaders(*this)) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    emit CaptionChanged();
}

void Label::SetForeColor(ColorRef colour) {
    foreColor_ = colour;
    update();
}

void Label::SetBackColor(ColorRef colour) {
    backColor_ = colour;
    update();
}

void Label::SetBackStyle(BackStyleKind style) {
    backStyle_ = style;
    update();
}

void Label::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_)
        FitToCaption();
}

void Label::SetAlignment(Qt::Alignment alignment) {
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

QSize Label::CaptionSizePx() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(ShownText(caption_)), metrics.height()};
}

void Label::FitToCaption() {
    const QSize size = CaptionSizePx();
    SetSizeFromPixels(size.width(), size.height());
}

void Label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (backStyle_ == vbOpaque)
        painter.fillRect(rect(), ToQColor(backColor_));
    painter.setPen(ToQColor(foreColor_));
    painter.setFont(font());
    // Word wrapping would hide part of the stored value in a fixed-size label; clip instead.
    painter.drawText(rect(), static_cast<int>(alignment_ | Qt::AlignTop | Qt::TextSingleLine),
                     ShownText(caption_));
}

void Label::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange && autoSize_)
        FitToCaption();
    Element::changeEvent(event);
}

void Label::mousePressEvent(QMouseEvent* event) {
    event->accept();
    NoteLeftPress(*event);
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (ReleaseEndsClick(*event))
        emit Click();
}

void Label::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace zr::ui
