#pragma once
// A rectangle the program paints on (the player's progress bar). Drawing goes to a backing
// image that persists until Cls, so the picture survives repaints; Refresh shows it.
// It takes its own mouse events and the keyboard focus in the tab order, and shows a focus
// mark while it has the focus.

#include "MouseElement.h"

#include <QImage>

namespace zr::ui {

class DrawingSurface : public MouseElement {
    Q_OBJECT
public:
    enum DrawModeKind { vbNotXorPen = 10, vbCopyPen = 13 };

    explicit DrawingSurface(QWidget* parent);

    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return backColor_; }

    // Fills the whole surface with the background colour.
    void Cls();

    // 13 copies the pen; 10 makes each pixel NOT(pixel XOR pen), per channel. Other values
    // are kept but draw as 13.
    void SetDrawMode(int mode) { drawMode_ = mode; }
    [[nodiscard]] int DrawMode() const { return drawMode_; }

    // A filled box, outline and inside in `colour`, between two corners given in the surface's
    // own twips (either order, may lie partly outside). It covers the pixel columns and rows
    // holding both corners, inclusive; parts outside the surface are clipped.
    void LineBF(double x1, double y1, double x2, double y2, ColorRef colour);

    // Schedules a repaint with the current picture.
    void Refresh();

    // The colour of the pixel holding a point (twips); -1 as ColorRef for a point outside.
    [[nodiscard]] ColorRef Point(double x, double y);
    [[nodiscard]] const QImage& Picture() {
        EnsureImage();
        return image_;
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void EnsureImage();

    QImage image_;
    ColorRef backColor_ = SystemColor(15);
    int drawMode_ = vbCopyPen;
};

} // namespace zr::ui
