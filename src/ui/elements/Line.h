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
    [[nodiscard]] int X1() const { return m_x1; }
    [[nodiscard]] int Y1() const { return m_y1; }
    [[nodiscard]] int X2() const { return m_x2; }
    [[nodiscard]] int Y2() const { return m_y2; }

    void SetBorderColor(ColorRef colour);
    [[nodiscard]] ColorRef BorderColor() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
    ColorRef m_color = 0;
};

} // namespace zr::ui
