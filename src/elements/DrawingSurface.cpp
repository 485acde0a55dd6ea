#include "DrawingSurface.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zr::ui {

DrawingSurface::DrawingSurface(QWidget* parent) : MouseElement(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DrawingSurface::SetBackColor(ColorRef colour) {
    backColor_ = colour;
    Cls();
}

void DrawingSurface::Cls() {
    EnsureImage();
    if (!image_.isNull())
        image_.fill(ToQColor(backColor_));
    update();
}

namespace {

// The pixel column (or row) holding a twip coordinate.
int PixelOf(double twips) {
    return static_cast<int>(std::floor(twips / kTwipsPerPixel));
}

} // namespace

void DrawingSurface::LineBF(double x1, double y1, double x2, double y2, ColorRef colour) {
    EnsureImage();
    if (image_.isNull() || !std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) ||
        !std::isfinite(y2))
        return;
    const double maxCoord = 1e9; // keeps the pixel conversion inside int
    auto clampCoord = [maxCoord](double v) { return std::clamp(v, -maxCoord, maxCoord); };
    const int left = std::max(0, PixelOf(clampCoord(std::min(x1, x2))));
    const int right = std::min(image_.width() - 1, PixelOf(clampCoord(std::max(x1, x2))));
    const int top = std::max(0, PixelOf(clampCoord(std::min(y1, y2))));
    const int bottom = std::min(image_.height() - 1, PixelOf(clampCoord(std::max(y1, y2))));
    if (left > right || top > bottom)
        return;
    const QColor pen = ToQColor(colour);
    const QRgb penRgb = pen.rgb() & 0x00FFFFFFu;
    for (int y = top; y <= bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = left; x <= right; ++x) {
            if (drawMode_ == vbNotXorPen)
                row[x] = 0xFF000000u | (~(row[x] ^ penRgb) & 0x00FFFFFFu);
            else
                row[x] = 0xFF000000u | penRgb;
        }
    }
}

void DrawingSurface::Refresh() {
    update();
}

ColorRef DrawingSurface::Point(double x, double y) {
    EnsureImage();
    if (image_.isNull() || !std::isfinite(x) || !std::isfinite(y) || x < 0 || y < 0)
        return static_cast<ColorRef>(-1);
    const int px = PixelOf(std::min(x, 1e9));
    const int py = PixelOf(std::min(y, 1e9));
    if (px >= image_.width() || py >= image_.height())
        return static_cast<ColorRef>(-1);
    return FromQColor(QColor(image_.pixel(px, py)));
}

void DrawingSurface::paintEvent(QPaintEvent*) {
    EnsureImage();
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    if (hasFocus()) {
        // The focus mark: a dotted line along the bottom row, in the highlight colour. Only
        // on the screen: the picture itself (Point, Picture) stays what the program drew.
        const QColor mark = palette().color(QPalette::Highlight);
        const int y = height() - 1;
        for (int x = 0; x < width(); x += 2)
            painter.fillRect(x, y, 1, 1, mark);
    }
}

void DrawingSurface::focusInEvent(QFocusEvent* event) {
    MouseElement::focusInEvent(event);
    update();
}

void DrawingSurface::focusOutEvent(QFocusEvent* event) {
    MouseElement::focusOutEvent(event);
    update();
}

void DrawingSurface::resizeEvent(QResizeEvent*) {
    EnsureImage();
}

void DrawingSurface::EnsureImage() {
    // Child widgets know their size before they are shown, resize events come only later.
    if (image_.size() == size())
        return;
    if (size().isEmpty()) {
        image_ = QImage();
        return;
    }
    QImage image(size(), QImage::Format_RGB32);
    image.fill(ToQColor(backColor_));
    if (!image_.isNull()) {
        QPainter painter(&image);
        painter.drawImage(0, 0, image_);
    }
    image_ = std::move(image);
}

} // namespace zr::ui
