#include "Label.h"

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
    if (m_autoSize)
        FitToCaption();
}

void Label::SetCaption(const QString& caption) {
    m_caption = caption;
    if (m_autoSize)
        FitToCaption();
    update();
    // The caption is what a screen reader reads, so a new value is announced.
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void Label::SetForeColor(ColorRef colour) {
    m_foreColor = colour;
    update();
}

void Label::SetBackColor(ColorRef colour) {
    m_backColor = colour;
    update();
}

void Label::SetBackStyle(BackStyleKind style) {
    m_backStyle = style;
    update();
}

void Label::SetAutoSize(bool autoSize) {
    m_autoSize = autoSize;
    if (m_autoSize)
        FitToCaption();
}

void Label::SetAlignment(Qt::Alignment alignment) {
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
    update();
}

QSize Label::CaptionSizePx() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_caption), metrics.height()};
}

void Label::FitToCaption() {
    const QSize size = CaptionSizePx();
    SetSizeFromPixels(size.width(), size.height());
}

void Label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_backStyle == vbOpaque)
        painter.fillRect(rect(), ToQColor(m_backColor));
    painter.setPen(ToQColor(m_foreColor));
    painter.setFont(font());
    // Word wrapping would hide part of the stored value in a fixed-size label; clip instead.
    painter.drawText(rect(), static_cast<int>(m_alignment | Qt::AlignTop | Qt::TextSingleLine),
                     m_caption);
}

void Label::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange && m_autoSize)
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
