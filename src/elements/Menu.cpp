#include "Menu.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace zr::ui {

namespace {

// Draws a menu's separator as an etched rule, grey over white, with room around it. Some
// styles (Fusion among them) draw a one-pixel line barely darker than the menu, so that a
// menu that starts with a separator looks as if it had none.
class SeparatorStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element != CE_MenuItem || item == nullptr ||
            item->menuItemType != QStyleOptionMenuItem::Separator) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        const int y = option->rect.center().y();
        const int left = option->rect.left() + 2;
        const int right = option->rect.right() - 2;
        painter->setPen(QColor(128, 128, 128));
        painter->drawLine(left, y, right, y);
        painter->setPen(QColor(255, 255, 255));
        painter->drawLine(left, y + 1, right, y + 1);
        painter->restore();
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type == CT_MenuItem && item != nullptr &&
            item->menuItemType == QStyleOptionMenuItem::Separator) {
            result.setHeight(std::max(result.height(), 9));
        }
        return result;
    }
};

} // namespace

MenuItem::MenuItem(QAction& action, const QString& name, QObject* parent)
    : QObject(parent), action_(action) {
    setObjectName(name);
    connect(&action_, &QAction::triggered, this, [this] {
        if (action_.isEnabled())
            emit Click();
    });
}

QString MenuItem::Caption() const {
    return action_.isSeparator() ? QStringLiteral("-") : action_.text();
}

void MenuItem::SetCaption(const QString& caption) {
    const bool separator = caption == QLatin1String("-");
    action_.setSeparator(separator);
    // Some styles draw a separator's text beside its line.
    action_.setText(separator ? QString() : caption);
}

bool MenuItem::Enabled() const {
    return action_.isEnabled();
}

void MenuItem::SetEnabled(bool enabled) {
    action_.setEnabled(enabled);
}

QKeySequence MenuItem::Shortcut() const {
    return action_.shortcut();
}

void MenuItem::SetShortcut(const QKeySequence& shortcut) {
    action_.setShortcut(shortcut);
}

bool MenuItem::IsSeparator() const {
    return action_.isSeparator();
}

Menu::Menu(QMenu& menu, const QString& name, QObject* parent) : QObject(parent), menu_(menu) {
    setObjectName(name);
    // A menu may start with a separator line, and it is drawn; by default Qt hides leading,
    // trailing and doubled separators.
    menu_.setSeparatorsCollapsible(false);
    // Owned by this object, which the form deletes after the menu bar and its menus.
    auto* style = new SeparatorStyle(); // over the application's style
    style->setParent(this);
    menu_.setStyle(style);
}

MenuItem& Menu::AddItem(const QString& name, const QString& caption, const QKeySequence& shortcut) {
    const bool separator = caption == QLatin1String("-");
    // Some styles draw a separator's text beside its line.
    QAction* action = menu_.addAction(separator ? QString() : caption); // owned by the menu
    action->setSeparator(separator);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    auto* item = new MenuItem(*action, name, this); // owned by this menu (QObject parent)
    items_.push_back(item);
    return *item;
}

MenuItem* Menu::Item(const QString& name) const {
    for (MenuItem* item : items_)
        if (item->Name() == name)
            return item;
    return nullptr;
}

QString Menu::Caption() const {
    return menu_.title();
}

} // namespace zr::ui
