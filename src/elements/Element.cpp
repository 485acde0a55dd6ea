#include "Element.h"

#include "Accessibility.h"

#include <QMouseEvent>

namespace zr::ui {

Element::Element(QWidget* parent) : QWidget(parent) {
    InstallAccessibleElements();
}

void Element::Move(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    setGeometry(ToPixels(left), ToPixels(top), ToPixels(width), ToPixels(height));
}

void Element::ZOrder(int position) {
    if (position == 0)
        raise();
    else
        lower();
}

void Element::SetSizeFromPixels(int widthPx, int heightPx) {
    width_ = static_cast<int>(ToTwips(widthPx));
    height_ = static_cast<int>(ToTwips(heightPx));
    resize(widthPx, heightPx);
}

namespace {

int ButtonValue(Qt::MouseButtons buttons) {
    int value = 0;
    if (buttons & Qt::LeftButton)
        value |= vbLeftButton;
    if (buttons & Qt::RightButton)
        value |= vbRightButton;
    if (buttons & Qt::MiddleButton)
        value |= vbMiddleButton;
    return value;
}

int ShiftValue(Qt::KeyboardModifiers modifiers) {
    int value = 0;
    if (modifiers & Qt::ShiftModifier)
        value |= vbShiftMask;
    if (modifiers & Qt::ControlModifier)
        value |= vbCtrlMask;
    if (modifiers & Qt::AltModifier)
        value |= vbAltMask;
    return value;
}

} // namespace

MouseArgs Element::ArgsFor(const QMouseEvent& event) {
    return MouseArgsFor(event, event.position());
}

MouseArgs MouseArgsFor(const QMouseEvent& event, QPointF localPixels) {
    MouseArgs args;
    // Press and release name the button that changed; a move names the buttons held.
    args.Button = event.type() == QEvent::MouseMove ? ButtonValue(event.buttons())
                                                    : ButtonValue(event.button());
    args.Shift = ShiftValue(event.modifiers());
    args.X = static_cast<float>(ToTwips(localPixels.x()));
    args.Y = static_cast<float>(ToTwips(localPixels.y()));
    return args;
}

void Element::NoteLeftPress(const QMouseEvent& event) {
    if (event.button() == Qt::LeftButton)
        leftPressed_ = true;
}

bool Element::ReleaseEndsClick(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton)
        return false;
    const bool click = leftPressed_ && rect().contains(event.position().toPoint());
    leftPressed_ = false;
    return click;
}

} // namespace zr::ui
