#pragma once
// A one-pixel line between two points. Transparent to the mouse.

#include "Element.h"

namespace zr::ui {

class Line : public Element {
    Q_OBJECT
public:
    explicit Line(QWidget* parent);

    // End points in twips, in the parent's coordinates; both ends are drawn.
    void SetPoints(int x1, int y1, int x2, int y2);
    [[nodiscard]] int X1() const { return x1_; }
    [[nodiscard]] int Y1() const { return y1_; }
    [[nodiscard]] int X2() const { return x2_; }
    [[nodiscard]] int Y2() const { return y2_; }

    void SetBorderColor(ColorRef colour);
    [[nodiscard]] ColorRef BorderColor() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    ColorRef color_ = 0;
};

} // namespace zr::ui
