#include "Accessibility.h"

#include "Form.h"
#include "Label.h"
#include "Line.h"
#include "PictureButton.h"
#include "Shape.h"
#include "ShownText.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <mutex>

namespace zr::ui {
namespace {

constexpr char kHiddenProperty[] = "zrHiddenFromScreenReaders";

class AccessiblePictureButton : public QAccessibleWidget {
public:
    explicit AccessiblePictureButton(PictureButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        // The tooltip is the one word the window shows for a button, so it is the name.
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return widget()->toolTip();
        if (kind == QAccessible::Description && widget()->accessibleDescription().isEmpty())
            return {};
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        // A press runs the same handler as a mouse click, once the reader's call has returned:
        // a handler may open a modal window (Open), and the call would wait for it to close.
        // Disabled buttons ignore it, as they ignore the mouse.
        if (action == pressAction()) {
            auto* button = static_cast<PictureButton*>(widget());
            QMetaObject::invokeMethod(
                button,
                [button] {
                    if (button->isEnabled())
                        emit button->Click();
                },
                Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

class AccessibleLabel : public QAccessibleWidget {
public:
    explicit AccessibleLabel(Label* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return ShownText(static_cast<const Label*>(widget())->Caption());
        return QAccessibleWidget::text(kind);
    }
};

// A window is a frame to assistive technology, one with an owner (the browser) a dialog; a
// plain QWidget would be a nameless filler. The name is the caption.
class AccessibleForm : public QAccessibleWidget {
public:
    explicit AccessibleForm(Form* form)
        : QAccessibleWidget(form, form->windowType() == Qt::Dialog ? QAccessible::Dialog
                                                                   : QAccessible::Window) {}
};

// The surface the elements sit on: a panel whose children are the elements, less those left
// to another element to present (HideFromScreenReaders).
class AccessibleClientArea : public QAccessibleWidget {
public:
    explicit AccessibleClientArea(QWidget* area) : QAccessibleWidget(area, QAccessible::Pane) {}

    int childCount() const override { return static_cast<int>(Children().size()); }

    QAccessibleInterface* child(int index) const override {
        const QWidgetList children = Children();
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr)
            return -1;
        return static_cast<int>(Children().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    [[nodiscard]] QWidgetList Children() const {
        QWidgetList shown;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child != nullptr && !child->isWindow() && !IsHiddenFromScreenReaders(*child))
                shown << child;
        }
        return shown;
    }
};

} // namespace

QAccessibleInterface* AccessibleElementFactory(const QString& className, QObject* object) {
    QWidget* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr)
        return nullptr;
    if (className == QLatin1String(PictureButton::staticMetaObject.className()))
        return new AccessiblePictureButton(static_cast<PictureButton*>(widget));
    if (className == QLatin1String(Label::staticMetaObject.className()))
        return new AccessibleLabel(static_cast<Label*>(widget));
    if (className == QLatin1String(Line::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Separator);
    if (className == QLatin1String(Shape::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    if (className == QLatin1String(Form::staticMetaObject.className()))
        return new AccessibleForm(static_cast<Form*>(widget));
    if (className == QLatin1String("QWidget")) {
        const auto* form = qobject_cast<const Form*>(widget->parentWidget());
        if (form != nullptr && form->ClientArea() == widget)
            return new AccessibleClientArea(widget);
    }
    return nullptr;
}

void HideFromScreenReaders(QWidget& widget) {
    widget.setProperty(kHiddenProperty, true);
}

bool IsHiddenFromScreenReaders(const QWidget& widget) {
    return widget.property(kHiddenProperty).toBool();
}

void InstallAccessibleElements() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&AccessibleElementFactory); });
}

} // namespace zr::ui
