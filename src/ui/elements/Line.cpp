#include "Line.h"

#include <QPainter>
#include <algorithm>

namespace zr::ui {

Line::Line(QWidget* parent) : Element(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Line::SetPoints(int x1, int y1, int x2, int y2) {
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
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
    m_color = colour;
    update();
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(ToQColor(m_color), 0));
    const QPoint origin = pos();
    const QPoint a(ToPixels(m_x1) - origin.x(), ToPixels(m_y1) - origin.y());
    const QPoint b(ToPixels(m_x2) - origin.x(), ToPixels(m_y2) - origin.y());
    painter.drawLine(a, b);
    painter.drawPoint(b);
}

} // namespace zr::ui
