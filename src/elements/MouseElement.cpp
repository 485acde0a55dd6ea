#include "MouseElement.h"

#include <QMouseEvent>

namespace zr::ui {

MouseElement::MouseElement(QWidget* parent) : Element(parent) {
    setMouseTracking(true);
}

void MouseElement::mousePressEvent(QMouseEvent* event) {
    event->accept();
    NoteLeftPress(*event);
    emit MouseDown(ArgsFor(*event));
}

void MouseElement::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = ReleaseEndsClick(*event);
    emit MouseUp(ArgsFor(*event));
    if (click)
        emit Click();
}

void MouseElement::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit MouseMove(ArgsFor(*event));
}

} // namespace zr::ui
