#pragma once
// What screen readers learn about the window elements. Qt describes a plain QWidget as a
// nameless "client" (a filler to assistive technology); these interfaces give each element
// kind its proper role: picture buttons are pressable buttons named by their tooltip (or by
// their accessible name where they have no tooltip), labels are static text that reads their
// caption, lines are separators and shapes are graphics; windows are frames (dialogs when
// owned), and the surface the elements sit on is a panel.

class QAccessibleInterface;
class QObject;
class QString;
class QWidget;

namespace zr::ui {

// Registers the element interfaces with Qt's accessibility once per process. Elements call
// it when they are created, so every window built from them is covered.
void InstallAccessibleElements();

// The factory itself, for the registry: an interface for our element classes, else null.
[[nodiscard]] QAccessibleInterface* AccessibleElementFactory(const QString& className,
                                                             QObject* object);

// Leaves an element on a window's surface out of what screen readers find, for elements that
// another one presents (a clock made of several digit labels read as one text). Such a label
// announces no caption changes either.
void HideFromScreenReaders(QWidget& widget);
[[nodiscard]] bool IsHiddenFromScreenReaders(const QWidget& widget);

} // namespace zr::ui
