#include "ListView.h"

#include "ShownText.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace zr::ui {

// The row store: texts per column, colour and selection flag per row. The selection flags are
// the truth; the view's selection model is brought in step with them (see SyncSelectionToView).
//
// The view sees only the columns that show (width above 0 pixels): a hidden column kept in the
// view still lists its cells to screen readers, at zero size. Cells are stored by the list's
// own column numbers (0-based here); `shown` maps the view's columns to them.
class ListViewModel : public QAbstractTableModel {
public:
    struct Column {
        QString text;
        int widthTwips = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    struct Row {
        std::vector<QString> cells;
        ColorRef foreColor = 0;
        bool ownColor = false;
        bool selected = false;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(shown.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= static_cast<int>(rows.size()) ||
            index.column() >= static_cast<int>(shown.size()))
            return {};
        const Row& row = rows[static_cast<size_t>(index.row())];
        const int column = shown[static_cast<size_t>(index.column())];
        switch (role) {
        case Qt::DisplayRole:
            return ShownText(Cell(row, column));
        case Qt::ForegroundRole:
            return row.ownColor ? QVariant(ToQColor(row.foreColor)) : QVariant();
        case Qt::TextAlignmentRole:
            return static_cast<int>(columns[static_cast<size_t>(column)].alignment |
                                    Qt::AlignVCenter);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 ||
            section >= static_cast<int>(shown.size()))
            return {};
        const Column& column = columns[static_cast<size_t>(shown[static_cast<size_t>(section)])];
        if (role == Qt::DisplayRole)
            return column.text;
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(column.alignment | Qt::AlignVCenter);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    static QString Cell(const Row& row, int column) {
        return column >= 0 && column < static_cast<int>(row.cells.size())
                   ? row.cells[static_cast<size_t>(column)]
                   : QString();
    }

    // The view's column showing a column of the list, or -1 when it is hidden.
    [[nodiscard]] int ViewColumn(int column) const {
        const auto it = std::find(shown.begin(), shown.end(), column);
        return it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
    }

    void SetCell(int rowIndex, int column, const QString& text) {
        Row& row = rows[static_cast<size_t>(rowIndex)];
        if (column >= static_cast<int>(row.cells.size()))
            row.cells.resize(static_cast<size_t>(column) + 1);
        row.cells[static_cast<size_t>(column)] = text;
        if (const int viewColumn = ViewColumn(column); viewColumn >= 0) {
            const QModelIndex cell = index(rowIndex, viewColumn);
            emit dataChanged(cell, cell, {Qt::DisplayRole});
        }
    }

    void Append(const QString& text) {
        const int at = static_cast<int>(rows.size());
        beginInsertRows({}, at, at);
        Row row;
        row.cells.push_back(text);
        rows.push_back(std::move(row));
        endInsertRows();
    }

    // A new column starts hidden; SetShown shows it.
    void AppendColumn(Column column) { columns.push_back(std::move(column)); }

    void SetShown(int column, bool show) {
        const int viewColumn = ViewColumn(column);
        if (show == (viewColumn >= 0))
            return;
        if (!show) {
            beginRemoveColumns({}, viewColumn, viewColumn);
            shown.erase(shown.begin() + viewColumn);
            endRemoveColumns();
            return;
        }
        const auto at = std::lower_bound(shown.begin(), shown.end(), column);
        const int position = static_cast<int>(at - shown.begin());
        beginInsertColumns({}, position, position);
        shown.insert(at, column);
        endInsertColumns();
    }

    void Clear() {
        beginResetModel();
        rows.clear();
        rows.shrink_to_fit();
        endResetModel();
    }

    void RowChanged(int rowIndex) {
        if (!shown.empty())
            emit dataChanged(index(rowIndex, 0), index(rowIndex, columnCount({}) - 1));
    }

    std::vector<Column> columns;
    std::vector<int> shown; // the list's columns the view shows, in order
    std::vector<Row> rows;
};

namespace {

// The view keeps every mouse move it gets, so moves over the list never reach the window.
class ReportView : public QTreeView {
public:
    using QTreeView::QTreeView;

    // Single selection that the user cannot empty (see ListView::SetMultiSelect).
    bool keepOneSelected = false;
    // A double click where there is no row: below the rows, or on an empty list.
    std::function<void()> blankDoubleClicked;
    // The view's column a row's current cell belongs in (ListView::SetFocusColumn).
    std::function<int()> currentColumn;

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        QTreeView::mouseMoveEvent(event);
        event->accept();
    }

    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const auto command = QTreeView::selectionCommand(index, event);
        if (!keepOneSelected || !selectionModel()->hasSelection())
            return command;
        // A press on the blank part would clear the selection, a Ctrl+click or Ctrl+Space on
        // the selected row would deselect it: either leaves the list with no current track.
        if (!index.isValid())
            return QItemSelectionModel::NoUpdate;
        if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) {
            if (selectionModel()->isSelected(index))
                return QItemSelectionModel::NoUpdate;
            return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        }
        return command;
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        // A click makes the clicked cell current; the row's current cell is that of its focus
        // column, so the focus (and what a screen reader reads) stays on that column.
        if (current.isValid() && currentColumn && current.column() != currentColumn()) {
            selectionModel()->setCurrentIndex(current.siblingAtColumn(currentColumn()),
                                              QItemSelectionModel::NoUpdate);
            return;
        }
        QTreeView::currentChanged(current, previous);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        const bool blank = !indexAt(event->position().toPoint()).isValid();
        QTreeView::mouseDoubleClickEvent(event);
        if (blank && blankDoubleClicked)
            blankDoubleClicked();
    }
};

} // namespace

// ---- ListItem ----------------------------------------------------------------------------

bool ListItem::Exists() const {
    return index_ >= 1 && index_ <= static_cast<int>(view_->model_->rows.size());
}

QString ListItem::Text() const {
    return SubItems(0);
}

void ListItem::SetText(const QString& text) {
    SetSubItems(0, text);
}

QString ListItem::SubItems(int i) const {
    if (!Exists() || i < 0)
        return {};
    return ListViewModel::Cell(view_->model_->rows[static_cast<size_t>(index_ - 1)], i);
}

void ListItem::SetSubItems(int i, const QString& text) {
    if (!Exists() || i < 0 || i > 0x7FFF)
        return;
    view_->model_->SetCell(index_ - 1, i, text);
}

bool ListItem::Selected() const {
    return Exists() && view_->model_->rows[static_cast<size_t>(index_ - 1)].selected;
}

void ListItem::SetSelected(bool selected) {
    if (!Exists())
        return;
    auto& rows = view_->model_->rows;
    if (selected && !view_->multiSelect_) {
        const int previous = view_->lastSelected_;
        if (previous >= 1 && previous <= static_cast<int>(rows.size()))
            rows[static_cast<size_t>(previous - 1)].selected = false;
    }
    rows[static_cast<size_t>(index_ - 1)].selected = selected;
    if (selected)
        view_->lastSelected_ = index_;
    else if (view_->lastSelected_ == index_)
        view_->lastSelected_ = 0;
    view_->ScheduleSelectionSync();
}

ColorRef ListItem::ForeColor() const {
    if (!Exists())
        return view_->foreColor_;
    const auto& row = view_->model_->rows[static_cast<size_t>(index_ - 1)];
    return row.ownColor ? row.foreColor : view_->foreColor_;
}

void ListItem::SetForeColor(ColorRef colour) {
    if (!Exists())
        return;
    auto& row = view_->model_->rows[static_cast<size_t>(index_ - 1)];
    row.foreColor = colour;
    row.ownColor = true;
    view_->model_->RowChanged(index_ - 1);
}

void ListItem::EnsureVisible() {
    if (Exists())
        view_->view_->scrollTo(view_->model_->index(index_ - 1, view_->CurrentColumn()));
}

// ---- Columns and items -------------------------------------------------------------------

int ListView::Columns::Add(const QString& text, int widthTwips, Qt::Alignment alignment) {
    view_.model_->AppendColumn({text, widthTwips, alignment & Qt::AlignHorizontal_Mask});
    const int index = Count();
    SetWidth(index, widthTwips);
    return index;
}

int ListView::Columns::Count() const {
    return static_cast<int>(view_.model_->columns.size());
}

QString ListView::Columns::Text(int index) const {
    if (index < 1 || index > Count())
        return {};
    return view_.model_->columns[static_cast<size_t>(index - 1)].text;
}

int ListView::Columns::Width(int index) const {
    if (index < 1 || index > Count())
        return 0;
    return view_.model_->columns[static_cast<size_t>(index - 1)].widthTwips;
}

void ListView::Columns::SetWidth(int index, int widthTwips) {
    if (index < 1 || index > Count())
        return;
    widthTwips = std::max(0, widthTwips);
    view_.model_->columns[static_cast<size_t>(index - 1)].widthTwips = widthTwips;
    const int pixels = ToPixels(widthTwips);
    // Left out of the view, not merely narrow: a zero-width section could still be dragged
    // open, and screen readers would list its cells.
    view_.model_->SetShown(index - 1, pixels > 0);
    if (pixels > 0)
        view_.view_->setColumnWidth(view_.model_->ViewColumn(index - 1), pixels);
}

ListItem ListView::Items::Add(const QString& text) {
    view_.model_->Append(text);
    return ListItem(view_, Count());
}

int ListView::Items::Count() const {
    return static_cast<int>(view_.model_->rows.size());
}

ListItem ListView::Items::Item(int index) const {
    if (index < 1 || index > Count())
        throw std::out_of_range("ListItems: index out of range");
    return ListItem(view_, index);
}

void ListView::Items::Clear() {
    view_.lastSelected_ = 0;
    view_.syncPending_ = false;
    view_.syncing_ = true;
    view_.model_->Clear();
    view_.syncing_ = false;
}

// ---- ListView ----------------------------------------------------------------------------

ListView::ListView(QWidget* parent)
    : Element(parent), model_(new ListViewModel(this)), view_(new ReportView(this)) {
    view_->setModel(model_);
    view_->setRootIsDecorated(false);
    view_->setItemsExpandable(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSortingEnabled(false);
    view_->setExpandsOnDoubleClick(false);
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionsMovable(false);
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setMouseTracking(true);
    view_->viewport()->setMouseTracking(true);
    view_->header()->setMouseTracking(true);
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    setMouseTracking(true);
    setFocusProxy(view_);
    setFocusPolicy(Qt::StrongFocus);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                OnViewSelectionChanged(selected, deselected);
            });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit DblClick();
    });
    auto* report = static_cast<ReportView*>(view_);
    report->keepOneSelected = !multiSelect_;
    report->blankDoubleClicked = [this] { emit DblClick(); };
    report->currentColumn = [this] { return CurrentColumn(); };
    connect(view_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit ItemClick(index.row() + 1);
    });
    ApplyColors();
}

ListView::~ListView() = default;

std::optional<ListItem> ListView::SelectedItem() {
    const auto& rows = model_->rows;
    const int count = static_cast<int>(rows.size());
    if (multiSelect_) {
        const QModelIndex current = view_->currentIndex();
        if (current.isValid() && current.row() < count &&
            rows[static_cast<size_t>(current.row())].selected)
            return ListItem(*this, current.row() + 1);
    }
    if (lastSelected_ >= 1 && lastSelected_ <= count &&
        rows[static_cast<size_t>(lastSelected_ - 1)].selected)
        return ListItem(*this, lastSelected_);
    if (!multiSelect_)
        return std::nullopt;
    for (int i = 0; i < count; ++i)
        if (rows[static_cast<size_t>(i)].selected)
            return ListItem(*this, i + 1);
    return std::nullopt;
}

void ListView::SetMultiSelect(bool multi) {
    FlushSelectionSync();
    multiSelect_ = multi;
    view_->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                                  : QAbstractItemView::SingleSelection);
    static_cast<ReportView*>(view_)->keepOneSelected = !multi;
    if (!multi) {
        // Keep at most the one row SelectedItem names.
        auto selected = SelectedItem();
        for (auto& row : model_->rows)
            row.selected = false;
        if (selected)
            model_->rows[static_cast<size_t>(selected->Index() - 1)].selected = true;
        lastSelected_ = selected ? selected->Index() : 0;
        ScheduleSelectionSync();
    }
}

void ListView::SetForeColor(ColorRef colour) {
    foreColor_ = colour;
    ApplyColors();
}

void ListView::SetBackColor(ColorRef colour) {
    backColor_ = colour;
    ApplyColors();
}

void ListView::ApplyColors() {
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Text, ToQColor(foreColor_));
    palette.setColor(QPalette::Base, ToQColor(backColor_));
    palette.setColor(QPalette::Window, ToQColor(backColor_));
    view_->setPalette(palette);
}

void ListView::SetFocus() {
    view_->setFocus(Qt::OtherFocusReason);
}

void ListView::ScheduleSelectionSync() {
    if (syncPending_)
        return;
    syncPending_ = true;
    // One pass after the handler is done: selecting row by row in the view's selection model
    // costs time in proportion to the selection each time, far too slow for "select all".
    QTimer::singleShot(0, this, [this] { FlushSelectionSync(); });
}

void ListView::FlushSelectionSync() {
    if (!syncPending_)
        return;
    syncPending_ = false;
    SyncSelectionToView();
}

void ListView::SetFocusColumn(int index) {
    FlushSelectionSync();
    focusColumn_ = index;
    ScheduleSelectionSync();
}

int ListView::CurrentColumn() const {
    const int column = model_->ViewColumn(focusColumn_ - 1);
    return column >= 0 ? column : 0;
}

void ListView::SyncSelectionToView() {
    QItemSelection selection;
    const auto& rows = model_->rows;
    const int count = static_cast<int>(rows.size());
    const int lastColumn = std::max(0, model_->columnCount({}) - 1);
    for (int i = 0; i < count;) {
        if (!rows[static_cast<size_t>(i)].selected) {
            ++i;
            continue;
        }
        int end = i;
        while (end + 1 < count && rows[static_cast<size_t>(end + 1)].selected)
            ++end;
        selection.select(model_->index(i, 0), model_->index(end, lastColumn));
        i = end + 1;
    }
    syncing_ = true;
    QItemSelectionModel* model = view_->selectionModel();
    // A selection made by the program (Select All) leaves a multi-selection list where the
    // user scrolled it; the one selected row of a single-selection list is brought into view.
    const bool autoScroll = view_->hasAutoScroll();
    view_->setAutoScroll(autoScroll && !multiSelect_);
    if (lastSelected_ >= 1 && lastSelected_ <= count)
        model->setCurrentIndex(model_->index(lastSelected_ - 1, CurrentColumn()),
                               QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    view_->setAutoScroll(autoScroll);
    syncing_ = false;
}

void ListView::OnViewSelectionChanged(const QItemSelection& selected,
                                      const QItemSelection& deselected) {
    if (syncing_)
        return;
    auto& rows = model_->rows;
    const int count = static_cast<int>(rows.size());
    auto mark = [&](const QItemSelection& ranges, bool value) {
        for (const QItemSelectionRange& range : ranges)
            for (int r = range.top(); r <= range.bottom() && r < count; ++r) {
                rows[static_cast<size_t>(r)].selected = value;
                if (value)
                    lastSelected_ = r + 1;
            }
    };
    mark(deselected, false);
    if (!multiSelect_ && !selected.isEmpty() && lastSelected_ >= 1 && lastSelected_ <= count)
        rows[static_cast<size_t>(lastSelected_ - 1)].selected = false;
    mark(selected, true);
    if (lastSelected_ >= 1 && lastSelected_ <= count &&
        !rows[static_cast<size_t>(lastSelected_ - 1)].selected)
        lastSelected_ = 0;
}

bool ListView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
        // User input must act on the selection the program last set.
        FlushSelectionSync();
        break;
    default:
        break;
    }
    return Element::eventFilter(watched, event);
}

void ListView::resizeEvent(QResizeEvent* event) {
    view_->setGeometry(rect());
    Element::resizeEvent(event);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace zr::ui
