#pragma once
// A rectangle or rounded rectangle with an outline and an optional fill. Transparent to the
// mouse: moves over it reach the window's own mouse-move handler.

#include "Element.h"

namespace zr::ui {

class Shape : public Element {
    Q_OBJECT
public:
    enum Kind { vbShapeRectangle = 0, vbShapeRoundedRectangle = 4 };
    enum FillStyleKind { vbFSSolid = 0, vbFSTransparent = 1 };
    enum BackStyleKind { vbTransparent = 0, vbOpaque = 1 };

    explicit Shape(QWidget* parent);

    void SetShape(Kind kind);
    [[nodiscard]] Kind ShapeKind() const { return m_kind; }

    // Painted in this order: background (when opaque), fill (when solid), outline.
    void SetFillColor(ColorRef colour);
    [[nodiscard]] ColorRef FillColor() const { return m_fillColor; }
    void SetFillStyle(FillStyleKind style);
    [[nodiscard]] FillStyleKind FillStyle() const { return m_fillStyle; }
    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return m_backColor; }
    void SetBackStyle(BackStyleKind style);
    [[nodiscard]] BackStyleKind BackStyle() const { return m_backStyle; }
    void SetBorderColor(ColorRef colour);
    [[nodiscard]] ColorRef BorderColor() const { return m_borderColor; }
    // false hides the outline.
    void SetBorderVisible(bool visible);
    [[nodiscard]] bool BorderVisible() const { return m_borderVisible; }

    // Corner ellipse of a rounded rectangle, in pixels; by default a quarter of the shorter side.
    [[nodiscard]] int CornerDiameterPx() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind = vbShapeRectangle;
    ColorRef m_fillColor = 0;
    FillStyleKind m_fillStyle = vbFSTransparent;
    ColorRef m_backColor = Rgb(255, 255, 255);
    BackStyleKind m_backStyle = vbTransparent;
    ColorRef m_borderColor = 0;
    bool m_borderVisible = true;
};

} // namespace zr::ui
