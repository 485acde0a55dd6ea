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
    [[nodiscard]] int Index() const { return index_; }
    [[nodiscard]] const QString& Key() const { return key_; }
    [[nodiscard]] const QString& Text() const { return text_; }
    [[nodiscard]] const QString& Image() const { return image_; }
    [[nodiscard]] const QString& SelectedImage() const { return selectedImage_; }

    [[nodiscard]] Node* Parent() const { return parent_; }
    [[nodiscard]] int Children() const { return static_cast<int>(children_.size()); }
    // First child, or null.
    [[nodiscard]] Node* Child() const { return children_.empty() ? nullptr : children_.front(); }
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
    [[nodiscard]] bool Expanded() const { return expanded_; }
    void SetExpanded(bool expanded);

    // Text colour; the tree's default until set.
    [[nodiscard]] ColorRef ForeColor() const { return foreColor_; }
    void SetForeColor(ColorRef colour);

private:
    friend class TreeView;
    Node(TreeView& tree, int index) : tree_(tree), index_(index) {}
    [[nodiscard]] const std::vector<Node*>& Siblings() const;

    TreeView& tree_;
    int index_;
    QString key_, text_, image_, selectedImage_;
    Node* parent_ = nullptr;
    std::vector<Node*> children_;     // display order
    QTreeWidgetItem* item_ = nullptr; // owned by the inner QTreeWidget
    bool expanded_ = false;
    ColorRef foreColor_ = SystemColor(8);
    bool ownColor_ = false;
};

class TreeView : public Element {
    Q_OBJECT
public:
    // A relative node: none, an index (1-based) or a key.
    using Relative = std::variant<std::monostate, int, QString>;

    class Collection {
    public:
        explicit Collection(TreeView& tree) : tree_(tree) {}
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
        TreeView& tree_;
    };

    explicit TreeView(QWidget* parent);
    ~TreeView() override;

    Collection& Nodes() { return collection_; }
    [[nodiscard]] Node* SelectedItem() const;

    // Icons come from this list by key; the caller keeps it alive as long as the tree.
    void SetImageList(const ImageList* images) { images_ = images; }
    void SetPathSeparator(const QString& separator) { separator_ = separator; }
    [[nodiscard]] const QString& PathSeparator() const { return separator_; }

    void SetFocus();
    [[nodiscard]] QTreeWidget& View() const { return *view_; }

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

    Collection collection_{*this};
    QTreeWidget* view_;                        // owned by this widget (Qt parent)
    std::vector<std::unique_ptr<Node>> nodes_; // order of addition
    std::vector<Node*> topLevel_;
    QHash<QString, Node*> byKey_; // keys are case-sensitive
    const ImageList* images_ = nullptr;
    QString separator_ = QStringLiteral("\\");
    int programmaticExpand_ = 0;
};

} // namespace zr::ui
