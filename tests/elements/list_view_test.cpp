// The report list: hidden columns, 1-based rows, selection in both modes, clearing, events.

#include "Input.h"
#include "ListView.h"
#include "QtPrinters.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace zr::ui;

namespace {

// The playlist's columns: text, count, name visible; two hidden.
void AddPlaylistColumns(ListView& list) {
    list.ColumnHeaders().Add("File Path.", 0);
    list.ColumnHeaders().Add("Count.", 500);
    list.ColumnHeaders().Add("File Name.", 3500);
    list.ColumnHeaders().Add("Time", 0);
    list.ColumnHeaders().Add("Played", 0);
}

ListItem AddRow(ListView& list, const QString& folder, const QString& number, const QString& name) {
    ListItem item = list.ListItems().Add(folder);
    item.SetSubItems(1, number);
    item.SetSubItems(2, name);
    item.SetSubItems(4, "U");
    return item;
}

// Centre of a row's visible part, in viewport pixels.
QPoint RowCentre(ListView& list, int index) {
    QTreeView& view = list.View();
    const QModelIndex cell = view.model()->index(index - 1, 1);
    return view.visualRect(cell).center();
}

} // namespace

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(400, 300);
        list.Move(255, 255, 5280, 3495);
        AddPlaylistColumns(list);
    }
    void Show() {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
    ListView list{&window};
};

TEST_F(ListViewTest, ZeroWidthColumnsAreHiddenButTheirCellsStayReadable) {
    AddRow(list, "D:\\Music\\", "01.", "a.mp3");
    Show();
    // The view (and so a screen reader) has the two columns that show, and nothing else.
    QHeaderView& header = *list.View().header();
    ASSERT_EQ(list.View().model()->columnCount(), 2);
    EXPECT_EQ(header.model()->headerData(0, Qt::Horizontal).toString(), "Count.");
    EXPECT_EQ(header.sectionSize(0), 33); // 500 twips
    EXPECT_EQ(header.model()->headerData(1, Qt::Horizontal).toString(), "File Name.");
    EXPECT_EQ(list.View().model()->index(0, 1).data().toString(), "a.mp3");
    EXPECT_EQ(list.ColumnHeaders().Width(1), 0);
    EXPECT_EQ(list.ColumnHeaders().Text(5), "Played");

    ListItem row = list.ListItems()(1);
    EXPECT_EQ(row.Text(), "D:\\Music\\");
    EXPECT_EQ(row.SubItems(4), "U");
    row.SetSubItems(4, "P");
    EXPECT_EQ(list.ListItems()(1).SubItems(4), "P");
    EXPECT_EQ(row.SubItems(3), "") << "never set";

    // Widened, a hidden column joins the view in its place, with what its cells hold.
    row.SetSubItems(3, "1:00");
    list.ColumnHeaders().SetWidth(4, 600);
    ASSERT_EQ(list.View().model()->columnCount(), 3);
    EXPECT_EQ(header.model()->headerData(2, Qt::Horizontal).toString(), "Time");
    EXPECT_EQ(header.sectionSize(2), 40);
    EXPECT_EQ(list.View().model()->index(0, 2).data().toString(), "1:00");
    list.ColumnHeaders().SetWidth(2, 0);
    ASSERT_EQ(list.View().model()->columnCount(), 2);
    EXPECT_EQ(list.View().model()->index(0, 0).data().toString(), "a.mp3");
    EXPECT_EQ(list.ListItems()(1).SubItems(1), "01.");
}

TEST_F(ListViewTest, RowsAreOneBasedAndOutOfRangeIsAnError) {
    AddRow(list, "C:\\", "01.", "a.mp3");
    const ListItem second = AddRow(list, "C:\\", "02.", "b.mp3");
    EXPECT_EQ(second.Index(), 2);
    EXPECT_EQ(list.ListItems().Count(), 2);
    EXPECT_EQ(list.ListItems()(2).SubItems(2), "b.mp3");
    EXPECT_THROW((void)list.ListItems()(0), std::out_of_range);
    EXPECT_THROW((void)list.ListItems()(3), std::out_of_range);
}

TEST_F(ListViewTest, SingleSelectionKeepsOneRowAndFollowsTheUser) {
    for (int i = 1; i <= 5; ++i)
        AddRow(list, "C:\\", QString::number(i), QString("%1.mp3").arg(i));
    EXPECT_FALSE(list.SelectedItem().has_value());

    list.ListItems()(2).SetSelected(true);
    list.ListItems()(4).SetSelected(true);
    ASSERT_TRUE(list.SelectedItem().has_value());
    EXPECT_EQ(list.SelectedItem()->Index(), 4);
    EXPECT_FALSE(list.ListItems()(2).Selected());

    Show();
    input::Click(list.View().viewport(), RowCentre(list, 3));
    EXPECT_EQ(list.SelectedItem()->Index(), 3);
    EXPECT_FALSE(list.ListItems()(4).Selected());
    EXPECT_TRUE(list.View().selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(list.View().selectionModel()->selectedRows().size(), 1);

    // The keyboard moves on from the row the program selected last.
    list.ListItems()(1).SetSelected(true);
    list.SetFocus();
    QTest::keyClick(&list.View(), Qt::Key_Down);
    EXPECT_EQ(list.SelectedItem()->Index(), 2);

    list.ListItems()(2).SetSelected(false);
    EXPECT_FALSE(list.SelectedItem().has_value());
}

TEST_F(ListViewTest, ClearEmptiesRowsAndSelection) {
    AddRow(list, "C:\\", "01.", "a.mp3");
    ListItem row = AddRow(list, "C:\\", "02.", "b.mp3");
    row.SetSelected(true);
    list.ListItems().Clear();
    EXPECT_EQ(list.ListItems().Count(), 0);
    EXPECT_FALSE(list.SelectedItem().has_value());
    EXPECT_FALSE(row.Exists());
    EXPECT_EQ(row.SubItems(2), "") << "a stale handle reads empty";
    row.SetSelected(true); // and changes nothing
    EXPECT_FALSE(list.SelectedItem().has_value());

    const ListItem fresh = AddRow(list, "C:\\", "01.", "c.mp3");
    EXPECT_EQ(fresh.Index(), 1);
    EXPECT_FALSE(fresh.Selected());
}

TEST_F(ListViewTest, DoubleClickOnARowRaisesDblClickAfterSelecting) {
    AddRow(list, "C:\\", "01.", "a.mp3");
    AddRow(list, "C:\\", "02.", "b.mp3");
    Show();
    int doubleClicks = 0;
    int selectedAtDoubleClick = 0;
    QObject::connect(&list, &ListView::DblClick, [&] {
        ++doubleClicks;
        selectedAtDoubleClick = list.SelectedItem() ? list.SelectedItem()->Index() : 0;
    });
    const QPoint at = RowCentre(list, 2);
    input::Click(list.View().viewport(), at);
    input::DoubleClick(list.View().viewport(), at);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(selectedAtDoubleClick, 2);
}

TEST_F(ListViewTest, MultiSelectionSelectAllAndUserExtension) {
    list.SetMultiSelect(true);
    for (int i = 1; i <= 6; ++i)
        AddRow(list, "C:\\", QString::number(i), QString("%1.mp3").arg(i));
    list.ListItems()(2).SetSelected(true);
    list.ListItems()(5).SetSelected(true);
    EXPECT_TRUE(list.ListItems()(2).Selected());
    EXPECT_TRUE(list.ListItems()(5).Selected());
    EXPECT_EQ(list.SelectedItem()->Index(), 5);

    Show();
    input::Click(list.View().viewport(), RowCentre(list, 3), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(list.ListItems()(2).Selected()) << "program selection kept under ctrl-click";
    EXPECT_TRUE(list.ListItems()(3).Selected());
    EXPECT_TRUE(list.ListItems()(5).Selected());

    input::Click(list.View().viewport(), RowCentre(list, 6));
    for (int i = 1; i <= 5; ++i)
        EXPECT_FALSE(list.ListItems()(i).Selected()) << i;
    EXPECT_TRUE(list.ListItems()(6).Selected());
}

TEST_F(ListViewTest, FortyThousandRowsAppendAndSelectAll) {
    list.SetMultiSelect(true);
    for (int i = 1; i <= 40000; ++i)
        AddRow(list, "C:\\", QString::number(i), "x.mp3");
    const int count = list.ListItems().Count();
    ASSERT_EQ(count, 40000);
    for (int i = 1; i <= count; ++i)
        list.ListItems()(i).SetSelected(true);
    Show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(list.ListItems()(40000).Selected());
    EXPECT_EQ(list.View().selectionModel()->selectedRows().size(), 40000);
}

TEST_F(ListViewTest, RowColourAndVisibility) {
    list.SetForeColor(Rgb(255, 255, 128));
    ListItem row = AddRow(list, "C:\\", "01.", "a.mp3");
    EXPECT_EQ(row.ForeColor(), Rgb(255, 255, 128));
    row.SetForeColor(Rgb(60, 60, 140));
    EXPECT_EQ(row.ForeColor(), Rgb(60, 60, 140));
    const QVariant shown = list.View().model()->index(0, 1).data(Qt::ForegroundRole);
    EXPECT_EQ(FromQColor(shown.value<QColor>()), Rgb(60, 60, 140));

    Show();
    list.SetVisible(false);
    EXPECT_FALSE(list.Visible());
    EXPECT_FALSE(list.View().isVisible());
    list.SetVisible(true);
    EXPECT_TRUE(list.View().isVisible());
}

TEST_F(ListViewTest, NoInPlaceEditing) {
    AddRow(list, "C:\\", "01.", "a.mp3");
    Show();
    const QPoint at = RowCentre(list, 1);
    input::DoubleClick(list.View().viewport(), at);
    QTest::keyClick(&list.View(), Qt::Key_F2);
    EXPECT_TRUE(list.View().findChildren<QLineEdit*>().isEmpty()) << "an editor opened";
}

namespace {

// Below the last row, inside the list.
QPoint BlankBelowRows(ListView& list) {
    const QRect last =
        list.View().visualRect(list.View().model()->index(list.ListItems().Count() - 1, 1));
    return {last.center().x(), list.View().viewport()->height() - 5};
}

} // namespace

TEST_F(ListViewTest, OnceARowIsSelectedNoUserInputLeavesTheListWithoutOne) {
    for (int i = 1; i <= 4; ++i)
        AddRow(list, "C:\\", QString::number(i), QString("%1.mp3").arg(i));
    Show();
    QWidget* viewport = list.View().viewport();
    const QPoint blank = BlankBelowRows(list);
    ASSERT_GT(blank.y(), RowCentre(list, 4).y() + 10);

    // Nothing selected yet: a blank click has nothing to keep and selects nothing.
    input::Click(viewport, blank);
    EXPECT_FALSE(list.SelectedItem().has_value());

    input::Click(viewport, RowCentre(list, 2));
    ASSERT_EQ(list.SelectedItem()->Index(), 2);
    struct Attempt {
        const char* what;
        QPoint at;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Attempt& a : {
             Attempt{"blank click", blank, Qt::LeftButton, {}},
             Attempt{"blank right click", blank, Qt::RightButton, {}},
             Attempt{"ctrl+click on the selected row", RowCentre(list, 2), Qt::LeftButton,
                     Qt::ControlModifier},
             Attempt{"ctrl+click on blank", blank, Qt::LeftButton, Qt::ControlModifier},
             Attempt{"shift+click on blank", blank, Qt::LeftButton, Qt::ShiftModifier},
         }) {
        input::Click(viewport, a.at, a.button, a.modifiers);
        ASSERT_TRUE(list.SelectedItem().has_value()) << a.what;
        EXPECT_EQ(list.SelectedItem()->Index(), 2) << a.what;
        EXPECT_EQ(list.View().selectionModel()->selectedRows().size(), 1) << a.what;
    }
    list.SetFocus();
    QTest::keyClick(&list.View(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(list.ListItems()(2).Selected()) << "ctrl+space on the selected row";

    // Moving the selection still works, by mouse (ctrl+click on another row too) and keys.
    input::Click(viewport, RowCentre(list, 4), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(list.SelectedItem()->Index(), 4);
    EXPECT_FALSE(list.ListItems()(2).Selected());
    QTest::keyClick(&list.View(), Qt::Key_Up);
    EXPECT_EQ(list.SelectedItem()->Index(), 3);
    QTest::keyClick(&list.View(), Qt::Key_Home);
    EXPECT_EQ(list.SelectedItem()->Index(), 1);
    QTest::keyClick(&list.View(), Qt::Key_End);
    EXPECT_EQ(list.SelectedItem()->Index(), 4);
    EXPECT_EQ(list.View().selectionModel()->selectedRows().size(), 1);

    // The several-row list (the browser's) can still be emptied by the user.
    list.SetMultiSelect(true);
    input::Click(viewport, RowCentre(list, 1), Qt::LeftButton, Qt::ControlModifier);
    input::Click(viewport, RowCentre(list, 1), Qt::LeftButton, Qt::ControlModifier);
    input::Click(viewport, RowCentre(list, 4), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_FALSE(list.SelectedItem().has_value());
}
