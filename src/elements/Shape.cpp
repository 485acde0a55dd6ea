#include "Shape.h"

#include <QPainter>
#include <algorithm>

namespace zr::ui {

Shape::Shape(QWidget* parent) : Element(parent) {
    // Shapes are decoration: the window's own handler must see moves over them.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::SetShape(Kind kind) {
    kind_ = kind;
    update();
}

void Shape::SetFillColor(ColorRef colour) {
    fillColor_ = colour;
    update();
}

void Shape::SetFillStyle(FillStyleKind style) {
    fillStyle_ = style;
    update();
}

void Shape::SetBackColor(ColorRef colour) {
    backColor_ = colour;
    update();
}

void Shape::SetBackStyle(BackStyleKind style) {
    backStyle_ = style;
    update();
}

void Shape::SetBorderColor(ColorRef colour) {
    borderColor_ = colour;
    update();
}

void Shape::SetBorderVisible(bool visible) {
    borderVisible_ = visible;
    update();
}

int Shape::CornerDiameterPx() const {
    return std::max(2, std::min(width(), height()) / 4);
}

void Shape::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    const bool rounded = kind_ == vbShapeRoundedRectangle;
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
    if (backStyle_ == vbOpaque)
        fill(ToQColor(backColor_));
    if (fillStyle_ == vbFSSolid)
        fill(ToQColor(fillColor_));
    if (borderVisible_) {
        painter.setPen(QPen(ToQColor(borderColor_), 1));
        painter.setBrush(Qt::NoBrush);
        if (rounded)
            painter.drawRoundedRect(outline, radius, radius);
        else
            painter.drawRect(outline);
    }
}

} // namespace zr::ui
