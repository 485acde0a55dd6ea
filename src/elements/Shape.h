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
    [[nodiscard]] Kind ShapeKind() const { return kind_; }

    // Painted in this order: background (when opaque), fill (when solid), outline.
    void SetFillColor(ColorRef colour);
    [[nodiscard]] ColorRef FillColor() const { return fillColor_; }
    void SetFillStyle(FillStyleKind style);
    [[nodiscard]] FillStyleKind FillStyle() const { return fillStyle_; }
    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return backColor_; }
    void SetBackStyle(BackStyleKind style);
    [[nodiscard]] BackStyleKind BackStyle() const { return backStyle_; }
    void SetBorderColor(ColorRef colour);
    [[nodiscard]] ColorRef BorderColor() const { return borderColor_; }
    // false hides the outline.
    void SetBorderVisible(bool visible);
    [[nodiscard]] bool BorderVisible() const { return borderVisible_; }

    // Corner ellipse of a rounded rectangle, in pixels; by default a quarter of the shorter side.
    [[nodiscard]] int CornerDiameterPx() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_ = vbShapeRectangle;
    ColorRef fillColor_ = 0;
    FillStyleKind fillStyle_ = vbFSTransparent;
    ColorRef backColor_ = Rgb(255, 255, 255);
    BackStyleKind backStyle_ = vbTransparent;
    ColorRef borderColor_ = 0;
    bool borderVisible_ = true;
};

} // namespace zr::ui
