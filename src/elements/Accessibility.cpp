#include "Accessibility.h"

#include "Label.h"
#include "Line.h"
#include "PictureButton.h"
#include "Shape.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <mutex>

namespace zr::ui {
namespace {

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
        // A press runs the same handler as a mouse click. Disabled buttons ignore it, as they
        // ignore the mouse.
        if (action == pressAction()) {
            if (widget()->isEnabled())
                emit static_cast<PictureButton*>(widget())->Click();
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
            return static_cast<const Label*>(widget())->Caption();
        return QAccessibleWidget::text(kind);
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
    return nullptr;
}

void InstallAccessibleElements() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&AccessibleElementFactory); });
}

} // namespace zr::ui
