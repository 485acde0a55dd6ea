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
    return parent_ != nullptr ? parent_->children_ : tree_.topLevel_;
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
    for (const Node* node = this; node != nullptr; node = node->parent_)
        texts.prepend(node->text_);
    return texts.join(tree_.separator_);
}

bool Node::Selected() const {
    return item_->isSelected();
}

void Node::SetSelected(bool selected) {
    if (selected) {
        tree_.view_->setCurrentItem(item_);
        item_->setSelected(true);
    } else {
        item_->setSelected(false);
    }
}

void Node::SetExpanded(bool expanded) {
    if (expanded == expanded_)
        return;
    expanded_ = expanded;
    ++tree_.programmaticExpand_;
    item_->setExpanded(expanded);
    --tree_.programmaticExpand_;
    if (expanded)
        emit tree_.Expand(this);
    else
        emit tree_.Collapse(this);
}

void Node::SetForeColor(ColorRef colour) {
    foreColor_ = colour;
    ownColor_ = true;
    item_->setForeground(0, ToQColor(colour));
}

// ---- Collection ----------------------------------------------------------------------------

Node* TreeView::Collection::Add(const Relative& relative, TreeRelationship relationship,
                                const QString& key, const QString& text, const QString& image,
                                const QString& selectedImage) {
    TreeView& tree = tree_;
    if (static_cast<int>(tree.nodes_.size()) >= kMaxNodes)
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
        position = relationship == tvwFirst ? 0 : tree.topLevel_.size();
    } else if (relationship == tvwChild) {
        parent = anchor;
        position = anchor->children_.size();
    } else {
        parent = anchor->parent_;
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

    const int index = static_cast<int>(tree.nodes_.size()) + 1;
    tree.nodes_.push_back(std::unique_ptr<Node>(new Node(tree, index)));
    Node* node = tree.nodes_.back().get();
    node->key_ = key;
    node->text_ = text;
    node->image_ = image;
    node->selectedImage_ = selectedImage;
    node->parent_ = parent;
    if (!key.isEmpty())
        tree.byKey_.insert(key, node);

    auto* item = new QTreeWidgetItem(); // owned by its parent item or the widget once inserted
    item->setText(0, ShownText(text));
    item->setData(0, kIndexRole, index);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setIcon(0, tree.IconFor(*node));
    node->item_ = item;

    auto& siblings = parent != nullptr ? parent->children_ : tree.topLevel_;
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position), node);
    if (parent != nullptr)
        parent->item_->insertChild(static_cast<int>(position), item);
    else
        tree.view_->insertTopLevelItem(static_cast<int>(position), item);
    return node;
}

int TreeView::Collection::Count() const {
    return static_cast<int>(tree_.nodes_.size());
}

Node* TreeView::Collection::Item(int index) const {
    if (index < 1 || index > Count())
        return nullptr;
    return tree_.nodes_[static_cast<size_t>(index - 1)].get();
}

Node* TreeView::Collection::Item(const QString& key) const {
    if (key.isEmpty())
        return nullptr;
    return tree_.byKey_.value(key, nullptr);
}

void TreeView::Collection::Clear() {
    tree_.view_->clear();
    tree_.topLevel_.clear();
    tree_.byKey_.clear();
    tree_.nodes_.clear();
}

// ---- TreeView ------------------------------------------------------------------------------

TreeView::TreeView(QWidget* parent) : Element(parent), view_(new TreeWidget(this)) {
    view_->setHeaderHidden(true);
    view_->setColumnCount(1);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setUniformRowHeights(true);
    // The one column is as wide as its widest shown node, and the tree scrolls sideways, so
    // a node at any depth can be read, clicked and reached with the keyboard.
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setMouseTracking(true);
    view_->viewport()->setMouseTracking(true);
    setMouseTracking(true);
    setFocusProxy(view_);
    setFocusPolicy(Qt::StrongFocus);

    connect(view_, &QTreeWidget::itemExpanded, this, &TreeView::OnItemExpanded);
    connect(view_, &QTreeWidget::itemCollapsed, this, &TreeView::OnItemCollapsed);
    connect(view_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (Node* node = NodeOf(item))
            emit NodeClick(node);
    });
    connect(view_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                auto* view = static_cast<TreeWidget*>(view_);
                if (!view->keyboardActive)
                    return;
                if (Node* node = NodeOf(current))
                    emit SelectionChangedByKeyboard(node);
            });
}

TreeView::~TreeView() = default;

Node* TreeView::SelectedItem() const {
    const auto items = view_->selectedItems();
    return items.isEmpty() ? nullptr : NodeOf(items.front());
}

void TreeView::SetFocus() {
    view_->setFocus(Qt::OtherFocusReason);
}

Node* TreeView::NodeOf(QTreeWidgetItem* item) const {
    if (item == nullptr)
        return nullptr;
    return collection_.Item(item->data(0, kIndexRole).toInt());
}

QIcon TreeView::IconFor(const Node& node) const {
    if (images_ == nullptr || node.image_.isEmpty())
        return {};
    QIcon icon;
    const QPixmap normal = images_->Image(node.image_);
    if (!normal.isNull())
        icon.addPixmap(normal, QIcon::Normal);
    const QPixmap selected =
        node.selectedImage_.isEmpty() ? normal : images_->Image(node.selectedImage_);
    if (!selected.isNull())
        icon.addPixmap(selected, QIcon::Selected);
    return icon;
}

void TreeView::OnItemExpanded(QTreeWidgetItem* item) {
    if (programmaticExpand_ > 0)
        return;
    Node* node = NodeOf(item);
    if (node == nullptr || node->expanded_)
        return;
    node->expanded_ = true;
    emit Expand(node);
}

void TreeView::OnItemCollapsed(QTreeWidgetItem* item) {
    if (programmaticExpand_ > 0)
        return;
    Node* node = NodeOf(item);
    if (node == nullptr || !node->expanded_)
        return;
    node->expanded_ = false;
    emit Collapse(node);
}

void TreeView::resizeEvent(QResizeEvent* event) {
    view_->setGeometry(rect());
    Element::resizeEvent(event);
}

void TreeView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace zr::ui
