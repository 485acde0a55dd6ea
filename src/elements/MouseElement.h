#pragma once
// An element that takes its own mouse events, with or without a button held, so they never
// fall through to the window's mouse-move handler.

#include "Element.h"

namespace zr::ui {

class MouseElement : public Element {
    Q_OBJECT
public:
    explicit MouseElement(QWidget* parent);

signals:
    // Left button pressed and released over the element.
    void Click();
    // Any button; coordinates in the element's own twips.
    void MouseDown(const zr::ui::MouseArgs& args);
    void MouseUp(const zr::ui::MouseArgs& args);
    // Raised on every move over the element, with or without a button held.
    void MouseMove(const zr::ui::MouseArgs& args);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

} // namespace zr::ui
