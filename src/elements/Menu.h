#pragma once
// Menus of a window's menu bar: items with a caption ("&" marks the mnemonic), a shortcut and
// an enabled flag, separators (caption "-"), and a click event per item. Created through
// Form::AddMenu; the form owns its menus and their items.

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <vector>

class QAction;
class QMenu;

namespace zr::ui {

class MenuItem : public QObject {
    Q_OBJECT
public:
    // `action` is owned by the menu it is in.
    MenuItem(QAction& action, const QString& name, QObject* parent);

    [[nodiscard]] QString Caption() const;
    void SetCaption(const QString& caption);
    [[nodiscard]] bool Enabled() const;
    void SetEnabled(bool enabled);
    [[nodiscard]] QKeySequence Shortcut() const;
    void SetShortcut(const QKeySequence& shortcut);
    [[nodiscard]] bool IsSeparator() const;
    [[nodiscard]] QString Name() const { return objectName(); }
    [[nodiscard]] QAction& Action() const { return action_; }

signals:
    // Chosen by mouse, mnemonic or shortcut (only while enabled).
    void Click();

private:
    QAction& action_;
};

class Menu : public QObject {
    Q_OBJECT
public:
    // `menu` belongs to the form's menu bar.
    Menu(QMenu& menu, const QString& name, QObject* parent);

    // Appends an item; the caption "-" makes a separator.
    MenuItem& AddItem(const QString& name, const QString& caption,
                      const QKeySequence& shortcut = {});
    // Null when no item has that name.
    [[nodiscard]] MenuItem* Item(const QString& name) const;
    [[nodiscard]] const std::vector<MenuItem*>& Items() const { return items_; }
    [[nodiscard]] QString Caption() const;
    [[nodiscard]] QMenu& QtMenu() const { return menu_; }

private:
    QMenu& menu_;
    std::vector<MenuItem*> items_; // children of this object
};

} // namespace zr::ui
