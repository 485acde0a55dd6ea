#pragma once
// A tree of text nodes with icons from a bound ImageList (the browser's drive and folder tree).
// Nodes are only added (or all cleared); the tree owns them and a Node* stays valid until
// Nodes().Clear() or the tree's destruction. No in-place editing of node texts.

#include "Element.h"

#include <QHash>
#include <QString>
#include <memory>
#include <variant>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace zr::ui {

class ImageList;
class TreeView;

enum TreeRelationship { tvwFirst = 0, tvwLast = 1, tvwNext = 2, tvwPrevious = 3, tvwChild = 4 };

class Node {
public:
    // 1-based position in order of addition (a 16-bit number in the handlers).
    [[nodiscard]] int Index() const { return m_index; }
    [[nodiscard]] const QString& Key() const { return m_key; }
    [[nodiscard]] const QString& Text() const { return m_text; }
    [[nodiscard]] const QString& Image() const { return m_image; }
    [[nodiscard]] const QString& SelectedImage() const { return m_selectedImage; }

    [[nodiscard]] Node* Parent() const { return m_parent; }
    [[nodiscard]] int Children() const { return static_cast<int>(m_children.size()); }
    // First child, or null.
    [[nodiscard]] Node* Child() const { return m_children.empty() ? nullptr : m_children.front(); }
    // First and last node among this node's siblings (itself included), in display order.
    [[nodiscard]] Node* FirstSibling() const;
    [[nodiscard]] Node* LastSibling() const;
    [[nodiscard]] Node* Next() const;
    // Texts from the top-level node down to this one, joined by the tree's separator ("\").
    [[nodiscard]] QString FullPath() const;

    // Setting true makes it the tree's selected node (raises no NodeClick).
    [[nodiscard]] bool Selected() const;
    void SetSelected(bool selected);

    // Setting true on a collapsed node raises the tree's Expand event synchronously, nested in
    // the caller, also for a node without children. Setting it to its present value does nothing.
    [[nodiscard]] bool Expanded() const { return m_expanded; }
    void SetExpanded(bool expanded);

    // Text colour; the tree's default until set.
    [[nodiscard]] ColorRef ForeColor() const { return m_foreColor; }
    void SetForeColor(ColorRef colour);

private:
    friend class TreeView;
    Node(TreeView& tree, int index) : m_tree(tree), m_index(index) {}
    [[nodiscard]] const std::vector<Node*>& Siblings() const;

    TreeView& m_tree;
    int m_index;
    QString m_key, m_text, m_image, m_selectedImage;
    Node* m_parent = nullptr;
    std::vector<Node*> m_children;     // display order
    QTreeWidgetItem* m_item = nullptr; // owned by the inner QTreeWidget
    bool m_expanded = false;
    ColorRef m_foreColor = SystemColor(8);
    bool m_ownColor = false;
};

class TreeView : public Element {
    Q_OBJECT
public:
    // A relative node: none, an index (1-based) or a key.
    using Relative = std::variant<std::monostate, int, QString>;

    class Collection {
    public:
        explicit Collection(TreeView& tree) : m_tree(tree) {}
        // Adds a node. Without a relative it becomes the last top-level node. With one, its
        // place follows the relationship (tvwChild: last child of the relative).
        // An empty key means no key; keys compare case-sensitively. Returns null, adding nothing,
        // when the key is already used, the relative does not exist, or the tree already holds
        // 32,767 nodes.
        Node* Add(const Relative& relative, TreeRelationship relationship, const QString& key,
                  const QString& text, const QString& image = {},
                  const QString& selectedImage = {});
        [[nodiscard]] int Count() const;
        // By 1-based index or by key; null when there is none.
        [[nodiscard]] Node* Item(int index) const;
        [[nodiscard]] Node* Item(const QString& key) const;
        [[nodiscard]] Node* operator()(int index) const { return Item(index); }
        [[nodiscard]] Node* operator()(const QString& key) const { return Item(key); }
        void Clear();

    private:
        TreeView& m_tree;
    };

    explicit TreeView(QWidget* parent);
    ~TreeView() override;

    Collection& Nodes() { return m_collection; }
    [[nodiscard]] Node* SelectedItem() const;

    // Icons come from this list by key; the caller keeps it alive as long as the tree.
    void SetImageList(const ImageList* images) { m_images = images; }
    void SetPathSeparator(const QString& separator) { m_separator = separator; }
    [[nodiscard]] const QString& PathSeparator() const { return m_separator; }

    void SetFocus();
    [[nodiscard]] QTreeWidget& View() const { return *m_view; }

signals:
    // A node was expanded by the user or by Node::SetExpanded(true).
    void Expand(zr::ui::Node* node);
    void Collapse(zr::ui::Node* node);
    // The user clicked a node (after it became the selected node).
    void NodeClick(zr::ui::Node* node);
    // The selected node changed by the keyboard (arrow keys, Home, End, typing).
    void SelectionChangedByKeyboard(zr::ui::Node* node);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    friend class Node;
    friend class Collection;
    [[nodiscard]] Node* NodeOf(QTreeWidgetItem* item) const;
    [[nodiscard]] QIcon IconFor(const Node& node) const;
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);

    Collection m_collection{*this};
    QTreeWidget* m_view;                        // owned by this widget (Qt parent)
    std::vector<std::unique_ptr<Node>> m_nodes; // order of addition
    std::vector<Node*> m_topLevel;
    QHash<QString, Node*> m_byKey; // keys are case-sensitive
    const ImageList* m_images = nullptr;
    QString m_separator = QStringLiteral("\\");
    int m_programmaticExpand = 0;
};

} // namespace zr::ui
