#pragma once
// Base of the visible window elements: a QWidget placed in twips on its parent (normally a
// Form's ClientArea()). The parent widget owns the element, as usual in Qt.

#include "Units.h"

#include <QPointF>
#include <QWidget>
#include <cstdint>

class QMouseEvent;

namespace zr::ui {

// MouseArgs of a Qt mouse event at a point given in pixels of the receiving surface.
[[nodiscard]] MouseArgs MouseArgsFor(const QMouseEvent& event, QPointF localPixels);

class Element : public QWidget {
    Q_OBJECT
public:
    explicit Element(QWidget* parent);

    // Position and size in twips relative to the parent. The twip values are kept as given
    // (Width() returns exactly what Move set), the widget gets the nearest pixels.
    virtual void Move(int left, int top, int width, int height);
    [[nodiscard]] int Left() const { return left_; }
    [[nodiscard]] int Top() const { return top_; }
    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }

    [[nodiscard]] bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }
    [[nodiscard]] bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled) { setEnabled(enabled); }

    [[nodiscard]] QString ToolTipText() const { return toolTip(); }
    void SetToolTipText(const QString& text) { setToolTip(text); }

    // Stacking: 0 brings the element to the front, 1 sends it to the back. Without calls,
    // elements created later lie in front of earlier ones.
    void ZOrder(int position = 0);

    // Index within a ControlArray; -1 for an element that is not in an array.
    [[nodiscard]] std::int16_t Index() const { return index_; }
    void SetIndex(std::int16_t index) { index_ = index; }

    // Name as the layout gives it ("imgControl", "lblArtistA"); also the objectName.
    [[nodiscard]] QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }

protected:
    // For elements that size themselves: keeps the twip size in step with the pixels.
    void SetSizeFromPixels(int widthPx, int heightPx);
    // MouseArgs for an event in this element's own coordinates.
    [[nodiscard]] static MouseArgs ArgsFor(const QMouseEvent& event);
    // A click is a left press followed by a left release over the element.
    void NoteLeftPress(const QMouseEvent& event);
    [[nodiscard]] bool ReleaseEndsClick(const QMouseEvent& event);

private:
    bool leftPressed_ = false;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::int16_t index_ = -1;
};

} // namespace zr::ui
