#pragma once
// Mouse input given to a window as the window system would, so Qt itself picks the receiving
// widget by position (and synthesises double clicks). Positions are local to `widget`.

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace input {

inline QWindow* WindowOf(QWidget* widget) {
    return widget->window()->windowHandle();
}

inline QPoint InWindow(QWidget* widget, QPoint local) {
    return widget->mapTo(widget->window(), local);
}

inline void MoveTo(QWidget* widget, QPoint local) {
    QTest::mouseMove(WindowOf(widget), InWindow(widget, local));
}

inline void Click(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(WindowOf(widget), button, modifiers, InWindow(widget, local));
}

inline void DoubleClick(QWidget* widget, QPoint local) {
    QTest::mouseDClick(WindowOf(widget), Qt::LeftButton, {}, InWindow(widget, local));
}

} // namespace input
