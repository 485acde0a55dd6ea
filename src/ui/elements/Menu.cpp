#include "Menu.h"

#include <QAction>
#include <QMenu>

namespace zr::ui {

MenuItem::MenuItem(QAction& action, const QString& name, QObject* parent)
    : QObject(parent), m_action(action) {
    setObjectName(name);
    connect(&m_action, &QAction::triggered, this, [this] {
        if (m_action.isEnabled())
            emit Click();
    });
}

QString MenuItem::Caption() const {
    return m_action.isSeparator() ? QStringLiteral("-") : m_action.text();
}

void MenuItem::SetCaption(const QString& caption) {
    const bool separator = caption == QLatin1String("-");
    m_action.setSeparator(separator);
    // Some styles draw a separator's text beside its line.
    m_action.setText(separator ? QString() : caption);
}

bool MenuItem::Enabled() const {
    return m_action.isEnabled();
}

void MenuItem::SetEnabled(bool enabled) {
    m_action.setEnabled(enabled);
}

QKeySequence MenuItem::Shortcut() const {
    return m_action.shortcut();
}

void MenuItem::SetShortcut(const QKeySequence& shortcut) {
    m_action.setShortcut(shortcut);
}

bool MenuItem::IsSeparator() const {
    return m_action.isSeparator();
}

Menu::Menu(QMenu& menu, const QString& name, QObject* parent) : QObject(parent), m_menu(menu) {
    setObjectName(name);
    // A menu may start with a separator line, and it is drawn; by default Qt hides leading,
    // trailing and doubled separators.
    m_menu.setSeparatorsCollapsible(false);
}

MenuItem& Menu::AddItem(const QString& name, const QString& caption, const QKeySequence& shortcut) {
    const bool separator = caption == QLatin1String("-");
    // Some styles draw a separator's text beside its line.
    QAction* action = m_menu.addAction(separator ? QString() : caption); // owned by the menu
    action->setSeparator(separator);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    auto* item = new MenuItem(*action, name, this); // owned by this menu (QObject parent)
    m_items.push_back(item);
    return *item;
}

MenuItem* Menu::Item(const QString& name) const {
    for (MenuItem* item : m_items)
        if (item->Name() == name)
            return item;
    return nullptr;
}

QString Menu::Caption() const {
    return m_menu.title();
}

} // namespace zr::ui
