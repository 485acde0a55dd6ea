#pragma once
// A list in report layout: column headers and rows of texts (the playlist, the browser's file
// list). Rows live in a light row store behind a model/view, so tens of thousands of rows are
// cheap. Rows are only appended or cleared, never edited in place by the user.
//
// Indexes are 1-based throughout, as the handlers count rows. A column of width 0 is hidden
// (the view, and so screen readers, do not have it) but its cells keep their texts and stay
// readable and writable.

#include "Element.h"

#include <optional>

class QItemSelection;
class QTreeView;

namespace zr::ui {

class ListView;
class ListViewModel;

// One row, by position. A handle stays valid while the row exists (until ListItems().Clear());
// operations on a row that no longer exists read empty and change nothing.
class ListItem {
public:
    ListItem(ListView& view, int index) : view_(&view), index_(index) {}

    // 1-based position in the list.
    [[nodiscard]] int Index() const { return index_; }
    [[nodiscard]] bool Exists() const;

    // The row's own text (first column).
    [[nodiscard]] QString Text() const;
    void SetText(const QString& text);
    // Sub-item i (1-based) is the text of column i + 1; empty when never set.
    [[nodiscard]] QString SubItems(int i) const;
    void SetSubItems(int i, const QString& text);

    // Setting true makes the row selected; in single-selection mode it also becomes the one
    // selected row (the previous one is deselected) and the current row, scrolled into view.
    // A multi-selection list keeps its scroll position.
    [[nodiscard]] bool Selected() const;
    void SetSelected(bool selected);

    // Text colour of the row; the list's ForeColor until set.
    [[nodiscard]] ColorRef ForeColor() const;
    void SetForeColor(ColorRef colour);

    // Scrolls the list so the row is visible.
    void EnsureVisible();

private:
    ListView* view_;
    int index_;
};

class ListView : public Element {
    Q_OBJECT
public:
    class Columns {
    public:
        explicit Columns(ListView& view) : view_(view) {}
        // Appends a column; returns its 1-based index. Width in twips, 0 hides the column.
        int Add(const QString& text, int widthTwips, Qt::Alignment alignment = Qt::AlignLeft);
        [[nodiscard]] int Count() const;
        [[nodiscard]] QString Text(int index) const;
        [[nodiscard]] int Width(int index) const;
        void SetWidth(int index, int widthTwips);

    private:
        ListView& view_;
    };

    class Items {
    public:
        explicit Items(ListView& view) : view_(view) {}
        // Appends a row with its text; the sub-items start empty.
        ListItem Add(const QString& text);
        [[nodiscard]] int Count() const;
        // Row i (1-based); throws std::out_of_range for an index outside 1..Count().
        [[nodiscard]] ListItem operator()(int index) const { return Item(index); }
        [[nodiscard]] ListItem Item(int index) const;
        // Removes every row and the selection.
        void Clear();

    private:
        ListView& view_;
    };

    explicit ListView(QWidget* parent);
    ~ListView() override;

    Items& ListItems() { return items_; }
    Columns& ColumnHeaders() { return columns_; }

    // The selected row: in single selection the one selected row, in multi selection the
    // current row if it is selected, else the most recently selected row, else the first
    // selected row. Empty when no row is selected.
    [[nodiscard]] std::optional<ListItem> SelectedItem();

    // Several rows selectable at once (browser list); off by default (one row). With one row,
    // once a row is selected the user cannot leave the list without one: a click on the blank
    // part or a Ctrl+click on the selected row changes nothing (the program still can).
    void SetMultiSelect(bool multi);
    [[nodiscard]] bool MultiSelect() const { return multiSelect_; }

    void SetForeColor(ColorRef colour);
    [[nodiscard]] ColorRef ForeColor() const { return foreColor_; }
    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return backColor_; }

    // Gives the list the keyboard focus.
    void SetFocus();

    // The column (1-based) whose cell is a row's current cell: where the keyboard focus sits
    // as it moves through the rows, so it is what a screen reader reads for a row. By default,
    // and while that column is hidden, the first column shown.
    void SetFocusColumn(int index);

    // The inner view (for focus chains, fonts and tests); the ListView owns it.
    [[nodiscard]] QTreeView& View() const { return *view_; }

signals:
    // A double click anywhere on the rows' area: on a row (which the first click selected),
    // below the rows or on an empty list.
    void DblClick();
    // Left click on a row, after the selection has changed; 1-based row index.
    void ItemClick(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    friend class ListItem;
    void ApplyColors();
    void ScheduleSelectionSync();
    void FlushSelectionSync();
    void SyncSelectionToView();
    // The view's column of the current cell.
    [[nodiscard]] int CurrentColumn() const;
    void OnViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    ListViewModel* model_; // owned by this widget (Qt parent)
    QTreeView* view_;      // owned by this widget (Qt parent)
    Items items_{*this};
    Columns columns_{*this};
    bool multiSelect_ = false;
    ColorRef foreColor_ = SystemColor(8);
    ColorRef backColor_ = SystemColor(5);
    int lastSelected_ = 0; // 1-based, 0 = none
    int focusColumn_ = 0;  // 1-based; 0: the first shown
    bool syncPending_ = false;
    bool syncing_ = false;
};

} // namespace zr::ui
