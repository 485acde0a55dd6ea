#include "Line.h"

#include <QPainter>
#include <algorithm>

namespace zr::ui {

Line::Line(QWidget* parent) : Element(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Line::SetPoints(int x1, int y1, int x2, int y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    // The widget is the bounding box of both end pixels, so both ends can be drawn.
    const int left = std::min(ToPixels(x1), ToPixels(x2));
    const int top = std::min(ToPixels(y1), ToPixels(y2));
    const int right = std::max(ToPixels(x1), ToPixels(x2));
    const int bottom = std::max(ToPixels(y1), ToPixels(y2));
    Move(static_cast<int>(ToTwips(left)), static_cast<int>(ToTwips(top)),
         static_cast<int>(ToTwips(right - left + 1)), static_cast<int>(ToTwips(bottom - top + 1)));
    update();
}

void Line::SetBorderColor(ColorRef colour) {
    color_ = colour;
    update();
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(ToQColor(color_), 0));
    const QPoint origin = pos();
    const QPoint a(ToPixels(x1_) - origin.x(), ToPixels(y1_) - origin.y());
    const QPoint b(ToPixels(x2_) - origin.x(), ToPixels(y2_) - origin.y());
    painter.drawLine(a, b);
    painter.drawPoint(b);
}

} // namespace zr::ui
