#include "TreeView.h"

#include "ImageList.h"
#include "ShownText.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTreeWidget>
#include <algorithm>

namespace zr::ui {

namespace {

constexpr int kMaxNodes = 32767; // node indexes are 16-bit numbers in the handlers
constexpr int kIndexRole = Qt::UserRole + 1;

// Tells keyboard moves of the current item from mouse and program ones, and keeps every
// mouse move so moves over the tree never reach the window.
class TreeWidget : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    bool keyboardActive = false;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        keyboardActive = true;
        QTreeWidget::keyPressEvent(event);
        keyboardActive = false;
    }
    void keyboardSearch(const QString& search) override {
        keyboardActive = true;
        QTreeWidget::keyboardSearch(search);
        keyboardActive = false;
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        QTreeWidget::mouseMoveEvent(event);
        event->accept();
    }
    // Showing a node shows its own level too: QTreeView scrolls a column wider than the view
    // back to the column's start, where a deep node is out of sight. The node's expand button
    // goes to the left edge when the node would start left of the view or too far right.
    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
        QScrollBar* bar = horizontalScrollBar();
        const int before = bar->value();
        QTreeWidget::scrollTo(index, hint);
        if (!index.isValid()) {
            return;
        }
        updateGeometries(); // the column's width follows the rows now shown
        bar->setValue(before);
        const QRect rect = visualRect(index);
        const int width = viewport()->width();
        const int left = rect.left() - indentation();
        if (left < 0 || rect.left() + std::min(rect.width(), width / 2) > width) {
            bar->setValue(bar->value() + left);
        }
    }
};

} // namespace

// ---- Node ----------------------------------------------------------------------------------

const std::vector<Node*>& Node::Siblings() const {
    return m_parent != nullptr ? m_parent->m_children : m_tree.m_topLevel;
}

Node* Node::FirstSibling() const {
    return Siblings().front();
}

Node* Node::LastSibling() const {
    return Siblings().back();
}

Node* Node::Next() const {
    const auto& siblings = Siblings();
    auto it = std::find(siblings.begin(), siblings.end(), this);
    if (it == siblings.end() || ++it == siblings.end())
        return nullptr;
    return *it;
}

QString Node::FullPath() const {
    QStringList texts;
    for (const Node* node = this; node != nullptr; node = node->m_parent)
        texts.prepend(node->m_text);
    return texts.join(m_tree.m_separator);
}

bool Node::Selected() const {
    return m_item->isSelected();
}

void Node::SetSelected(bool selected) {
    if (selected) {
        m_tree.m_view->setCurrentItem(m_item);
        m_item->setSelected(true);
    } else {
        m_item->setSelected(false);
    }
}

void Node::SetExpanded(bool expanded) {
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    ++m_tree.m_programmaticExpand;
    m_item->setExpanded(expanded);
    --m_tree.m_programmaticExpand;
    if (expanded)
        emit m_tree.Expand(this);
    else
        emit m_tree.Collapse(this);
}

void Node::SetForeColor(ColorRef colour) {
    m_foreColor = colour;
    m_ownColor = true;
    m_item->setForeground(0, ToQColor(colour));
}

// ---- Collection ----------------------------------------------------------------------------

Node* TreeView::Collection::Add(const Relative& relative, TreeRelationship relationship,
                                const QString& key, const QString& text, const QString& image,
                                const QString& selectedImage) {
    TreeView& tree = m_tree;
    if (static_cast<int>(tree.m_nodes.size()) >= kMaxNodes)
        return nullptr;
    if (!key.isEmpty() && Item(key) != nullptr)
        return nullptr;

    Node* anchor = nullptr;
    if (const int* index = std::get_if<int>(&relative)) {
        anchor = Item(*index);
        if (anchor == nullptr)
            return nullptr;
    } else if (const QString* anchorKey = std::get_if<QString>(&relative)) {
        anchor = Item(*anchorKey);
        if (anchor == nullptr)
            return nullptr;
    }

    // Where the node goes: a parent (null = top level) and a position among its children.
    Node* parent = nullptr;
    size_t position = 0;
    if (anchor == nullptr) {
        parent = nullptr;
        position = relationship == tvwFirst ? 0 : tree.m_topLevel.size();
    } else if (relationship == tvwChild) {
        parent = anchor;
        position = anchor->m_children.size();
    } else {
        parent = anchor->m_parent;
        const auto& siblings = anchor->Siblings();
        const auto at = static_cast<size_t>(std::find(siblings.begin(), siblings.end(), anchor) -
                                            siblings.begin());
        switch (relationship) {
        case tvwFirst:
            position = 0;
            break;
        case tvwNext:
            position = at + 1;
            break;
        case tvwPrevious:
            position = at;
            break;
        default:
            position = siblings.size();
            break;
        }
    }

    const int index = static_cast<int>(tree.m_nodes.size()) + 1;
    tree.m_nodes.push_back(std::unique_ptr<Node>(new Node(tree, index)));
    Node* node = tree.m_nodes.back().get();
    node->m_key = key;
    node->m_text = text;
    node->m_image = image;
    node->m_selectedImage = selectedImage;
    node->m_parent = parent;
    if (!key.isEmpty())
        tree.m_byKey.insert(key, node);

    auto* item = new QTreeWidgetItem(); // owned by its parent item or the widget once inserted
    item->setText(0, ShownText(text));
    item->setData(0, kIndexRole, index);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setIcon(0, tree.IconFor(*node));
    node->m_item = item;

    auto& siblings = parent != nullptr ? parent->m_children : tree.m_topLevel;
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position), node);
    if (parent != nullptr)
        parent->m_item->insertChild(static_cast<int>(position), item);
    else
        tree.m_view->insertTopLevelItem(static_cast<int>(position), item);
    return node;
}

int TreeView::Collection::Count() const {
    return static_cast<int>(m_tree.m_nodes.size());
}

Node* TreeView::Collection::Item(int index) const {
    if (index < 1 || index > Count())
        return nullptr;
    return m_tree.m_nodes[static_cast<size_t>(index - 1)].get();
}

Node* TreeView::Collection::Item(const QString& key) const {
    if (key.isEmpty())
        return nullptr;
    return m_tree.m_byKey.value(key, nullptr);
}

void TreeView::Collection::Clear() {
    m_tree.m_view->clear();
    m_tree.m_topLevel.clear();
    m_tree.m_byKey.clear();
    m_tree.m_nodes.clear();
}

// ---- TreeView ------------------------------------------------------------------------------

TreeView::TreeView(QWidget* parent) : Element(parent), m_view(new TreeWidget(this)) {
    m_view->setHeaderHidden(true);
    m_view->setColumnCount(1);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformRowHeights(true);
    // The one column is as wide as its widest shown node, and the tree scrolls sideways, so
    // a node at any depth can be read, clicked and reached with the keyboard.
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    setMouseTracking(true);
    setFocusProxy(m_view);
    setFocusPolicy(Qt::StrongFocus);

    connect(m_view, &QTreeWidget::itemExpanded, this, &TreeView::OnItemExpanded);
    connect(m_view, &QTreeWidget::itemCollapsed, this, &TreeView::OnItemCollapsed);
    connect(m_view, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (Node* node = NodeOf(item))
            emit NodeClick(node);
    });
    connect(m_view, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                auto* view = static_cast<TreeWidget*>(m_view);
                if (!view->keyboardActive)
                    return;
                if (Node* node = NodeOf(current))
                    emit SelectionChangedByKeyboard(node);
            });
}

TreeView::~TreeView() = default;

Node* TreeView::SelectedItem() const {
    const auto items = m_view->selectedItems();
    return items.isEmpty() ? nullptr : NodeOf(items.front());
}

void TreeView::SetFocus() {
    m_view->setFocus(Qt::OtherFocusReason);
}

Node* TreeView::NodeOf(QTreeWidgetItem* item) const {
    if (item == nullptr)
        return nullptr;
    return m_collection.Item(item->data(0, kIndexRole).toInt());
}

QIcon TreeView::IconFor(const Node& node) const {
    if (m_images == nullptr || node.m_image.isEmpty())
        return {};
    QIcon icon;
    const QPixmap normal = m_images->Image(node.m_image);
    if (!normal.isNull())
        icon.addPixmap(normal, QIcon::Normal);
    const QPixmap selected =
        node.m_selectedImage.isEmpty() ? normal : m_images->Image(node.m_selectedImage);
    if (!selected.isNull())
        icon.addPixmap(selected, QIcon::Selected);
    return icon;
}

void TreeView::OnItemExpanded(QTreeWidgetItem* item) {
    if (m_programmaticExpand > 0)
        return;
    Node* node = NodeOf(item);
    if (node == nullptr || node->m_expanded)
        return;
    node->m_expanded = true;
    emit Expand(node);
}

void TreeView::OnItemCollapsed(QTreeWidgetItem* item) {
    if (m_programmaticExpand > 0)
        return;
    Node* node = NodeOf(item);
    if (node == nullptr || !node->m_expanded)
        return;
    node->m_expanded = false;
    emit Collapse(node);
}

void TreeView::resizeEvent(QResizeEvent* event) {
    m_view->setGeometry(rect());
    Element::resizeEvent(event);
}

void TreeView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace zr::ui
