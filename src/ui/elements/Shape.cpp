#include "Shape.h"

#include <QPainter>
#include <algorithm>

namespace zr::ui {

Shape::Shape(QWidget* parent) : Element(parent) {
    // Shapes are decoration: the window's own handler must see moves over them.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::SetShape(Kind kind) {
    m_kind = kind;
    update();
}

void Shape::SetFillColor(ColorRef colour) {
    m_fillColor = colour;
    update();
}

void Shape::SetFillStyle(FillStyleKind style) {
    m_fillStyle = style;
    update();
}

void Shape::SetBackColor(ColorRef colour) {
    m_backColor = colour;
    update();
}

void Shape::SetBackStyle(BackStyleKind style) {
    m_backStyle = style;
    update();
}

void Shape::SetBorderColor(ColorRef colour) {
    m_borderColor = colour;
    update();
}

void Shape::SetBorderVisible(bool visible) {
    m_borderVisible = visible;
    update();
}

int Shape::CornerDiameterPx() const {
    return std::max(2, std::min(width(), height()) / 4);
}

void Shape::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    const bool rounded = m_kind == vbShapeRoundedRectangle;
    if (rounded)
        painter.setRenderHint(QPainter::Antialiasing);
    // The outline runs along the outermost pixels, as a one-pixel pen inside the element.
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = CornerDiameterPx() / 2.0;
    auto fill = [&](const QColor& colour) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        if (rounded)
            painter.drawRoundedRect(QRectF(rect()), radius, radius);
        else
            painter.drawRect(rect());
    };
    if (m_backStyle == vbOpaque)
        fill(ToQColor(m_backColor));
    if (m_fillStyle == vbFSSolid)
        fill(ToQColor(m_fillColor));
    if (m_borderVisible) {
        painter.setPen(QPen(ToQColor(m_borderColor), 1));
        painter.setBrush(Qt::NoBrush);
        if (rounded)
            painter.drawRoundedRect(outline, radius, radius);
        else
            painter.drawRect(outline);
    }
}

} // namespace zr::ui
