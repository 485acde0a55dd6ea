// The window base: load before show, nested resize, close requests, modal showing, menus,
// mouse pointer.

#include "Form.h"
#include "QtPrinters.h"
#include "Runtime.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

using namespace zr::ui;

namespace {

// Locks its size the way the player window does: width first, height in the nested event.
class LockedForm : public Form {
public:
    std::vector<QString> log;
    int cancelClose = 0;

    void Form_Load() override { log.push_back(isVisible() ? "load visible" : "load"); }
    void Form_Resize() override {
        log.push_back(QString("resize %1x%2").arg(Width()).arg(Height()));
        if (Width() != 5670)
            SetWidth(5670);
        else if (Height() != 6900)
            SetHeight(6900);
    }
    void Form_QueryUnload(int& cancel, int mode) override {
        log.push_back(QString("query %1").arg(mode));
        cancel = cancelClose;
    }
    void Form_Unload(int&) override { log.push_back("unload"); }
};

} // namespace

TEST(FormTest, LoadRunsOnceBeforeTheFirstShowAndBeforeAnyResize) {
    LockedForm form;
    form.SetWidth(3000);
    EXPECT_TRUE(form.log.empty());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_GE(form.log.size(), 2u);
    EXPECT_TRUE(form.log[1].startsWith("resize 3000x")) << form.log[1].toStdString();
    form.hide();
    form.show();
    ASSERT_FALSE(form.log.empty());
    EXPECT_EQ(form.log.front(), "load");
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "load"), 1);
}

TEST(FormTest, ResizeHandlerSeesItsOwnSizeChangesNested) {
    LockedForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(378, 460)) << "locked while showing";

    form.log.clear();
    form.SetWidth(4000);
    // Set inside the handler, corrected inside the same call.
    EXPECT_EQ(form.log, (std::vector<QString>{"resize 4005x6900", "resize 5670x6900"}));
    EXPECT_EQ(form.Width(), 5670);

    // A size change from outside (the frame dragged): width first, then height, nested.
    form.log.clear();
    form.resize(300, 200);
    QTest::qWait(20);
    ASSERT_GE(form.log.size(), 3u) << ::testing::PrintToString(form.log);
    EXPECT_EQ(form.log[0], "resize 4500x3000");
    EXPECT_EQ(form.log[1], "resize 5670x3000");
    EXPECT_EQ(form.log[2], "resize 5670x6900");
    EXPECT_EQ(form.size(), QSize(378, 460));
}

TEST(FormTest, CloseAsksQueryUnloadWhichCanCancel) {
    LockedForm form;
    form.show();
    form.cancelClose = 1;
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    form.cancelClose = 0;
    form.log.clear();
    EXPECT_TRUE(form.Unload());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.log, (std::vector<QString>{"query 1", "unload"}));
    form.show();
    form.log.clear();
    form.close();
    EXPECT_EQ(form.log, (std::vector<QString>{"query 0", "unload"}));
}

TEST(FormTest, ShowModalWaitsUntilTheWindowCloses) {
    Form owner;
    owner.show();
    LockedForm dialog;
    bool ranWhileOpen = false;
    QTimer::singleShot(50, &dialog, [&] {
        ranWhileOpen = dialog.isVisible() && dialog.isModal();
        dialog.Unload();
    });
    // Guards the test against a loop that never ends.
    QTimer::singleShot(10000, &dialog, [&] { dialog.hide(); });
    dialog.ShowModal();
    EXPECT_TRUE(ranWhileOpen);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.log.back(), "unload");
}

TEST(FormTest, MenusWithShortcutsSeparatorsAndEnabledFlags) {
    Form form;
    Menu& file = form.AddMenu("mnuFile", "&File");
    MenuItem& separator = file.AddItem("h2", "-");
    MenuItem& open = file.AddItem("mnuFileCOpenFiles", "Open Files", QKeySequence("Ctrl+O"));
    MenuItem& exitItem = file.AddItem("mnuFileExit", "E&xit", QKeySequence("Ctrl+X"));
    open.SetEnabled(false);
    EXPECT_TRUE(separator.IsSeparator());
    EXPECT_EQ(separator.Caption(), "-");
    const QAction* line = form.MenuBar()->actions().at(0)->menu()->actions().at(0);
    EXPECT_TRUE(line->isSeparator());
    EXPECT_TRUE(line->text().isEmpty()) << "a style may draw it beside the line";
    EXPECT_FALSE(form.MenuBar()->actions().at(0)->menu()->separatorsCollapsible())
        << "the leading separator must stay visible";
    EXPECT_EQ(exitItem.Caption(), "E&xit");
    EXPECT_EQ(file.Item("mnuFileExit"), &exitItem);
    EXPECT_EQ(form.MenuBar()->actions().size(), 1);

    int opens = 0;
    int exits = 0;
    QObject::connect(&open, &MenuItem::Click, [&] { ++opens; });
    QObject::connect(&exitItem, &MenuItem::Click, [&] { ++exits; });
    form.SetClientSize(9615, 6120);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opens, 0) << "disabled item";
    open.SetEnabled(true);
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(exits, 1);
    // The client area starts below the menu bar and has the size asked for.
    EXPECT_EQ(form.ClientArea()->y(), form.MenuBar()->height());
    EXPECT_EQ(form.ScaleWidth(), 9615);
    EXPECT_EQ(form.ScaleHeight(), 6120);
}

TEST(FormTest, MousePointerShowsTheHourglass) {
    Form form;
    form.SetMousePointer(vbHourglass);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form.MousePointer(), 11);
    form.SetMousePointer(vbDefault);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}
