#pragma once
// A list in report layout: column headers and rows of texts (the playlist, the browser's file
// list). Rows live in a light row store behind a model/view, so tens of thousands of rows are
// cheap. Rows are only appended or cleared, never edited in place by the user.
//
// Indexes are 1-based throughout, as the handlers count rows. A column of width 0 is hidden
// but its cells keep their texts and stay readable and writable.

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
    ListItem(ListView& view, int index) : m_view(&view), m_index(index) {}

    // 1-based position in the list.
    [[nodiscard]] int Index() const { return m_index; }
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
    ListView* m_view;
    int m_index;
};

class ListView : public Element {
    Q_OBJECT
public:
    class Columns {
    public:
        explicit Columns(ListView& view) : m_view(view) {}
        // Appends a column; returns its 1-based index. Width in twips, 0 hides the column.
        int Add(const QString& text, int widthTwips, Qt::Alignment alignment = Qt::AlignLeft);
        [[nodiscard]] int Count() const;
        [[nodiscard]] QString Text(int index) const;
        [[nodiscard]] int Width(int index) const;
        void SetWidth(int index, int widthTwips);

    private:
        ListView& m_view;
    };

    class Items {
    public:
        explicit Items(ListView& view) : m_view(view) {}
        // Appends a row with its text; the sub-items start empty.
        ListItem Add(const QString& text);
        [[nodiscard]] int Count() const;
        // Row i (1-based); throws std::out_of_range for an index outside 1..Count().
        [[nodiscard]] ListItem operator()(int index) const { return Item(index); }
        [[nodiscard]] ListItem Item(int index) const;
        // Removes every row and the selection.
        void Clear();

    private:
        ListView& m_view;
    };

    explicit ListView(QWidget* parent);
    ~ListView() override;

    Items& ListItems() { return m_items; }
    Columns& ColumnHeaders() { return m_columns; }

    // The selected row: in single selection the one selected row, in multi selection the
    // current row if it is selected, else the most recently selected row, else the first
    // selected row. Empty when no row is selected.
    [[nodiscard]] std::optional<ListItem> SelectedItem();

    // Several rows selectable at once (browser list); off by default (one row). With one row,
    // once a row is selected the user cannot leave the list without one: a click on the blank
    // part or a Ctrl+click on the selected row changes nothing (the program still can).
    void SetMultiSelect(bool multi);
    [[nodiscard]] bool MultiSelect() const { return m_multiSelect; }

    void SetForeColor(ColorRef colour);
    [[nodiscard]] ColorRef ForeColor() const { return m_foreColor; }
    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return m_backColor; }

    // Gives the list the keyboard focus.
    void SetFocus();

    // The inner view (for focus chains, fonts and tests); the ListView owns it.
    [[nodiscard]] QTreeView& View() const { return *m_view; }

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
    [[nodiscard]] int FirstVisibleColumn() const;
    void OnViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    ListViewModel* m_model; // owned by this widget (Qt parent)
    QTreeView* m_view;      // owned by this widget (Qt parent)
    Items m_items{*this};
    Columns m_columns{*this};
    bool m_multiSelect = false;
    ColorRef m_foreColor = SystemColor(8);
    ColorRef m_backColor = SystemColor(5);
    int m_lastSelected = 0; // 1-based, 0 = none
    bool m_syncPending = false;
    bool m_syncing = false;
};

} // namespace zr::ui
