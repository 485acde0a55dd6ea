// Files a user finds on real disks and must be able to play: names that are not UTF-8, names
// that read like a drive, and folders too deep to show in a fixed-width tree. Real windows,
// real input events, the real media service.

#include "BrowserTestSupport.h"

#include "ListView.h"
#include "Menu.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "frmMain.h"
#include "mVariables.h"
#include "mWinAPI.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTreeView>

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using zr::test::BrowserInFront;
using zr::test::ClickChild;
using zr::test::ClickNode;
using zr::test::DataDisk;
using zr::test::Drive;
using zr::test::Fixture;
using zr::test::MappedDrives;
using zr::test::MediaStatus;
using zr::test::TempTree;

// Copies a fixture to a path given as raw bytes (which QFile would read as UTF-8).
void CopyAs(const char* fixture, const QByteArray& target) {
    QFile in(Fixture(fixture));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray data = in.readAll();
    FILE* out = std::fopen(target.constData(), "wb");
    ASSERT_NE(out, nullptr) << target.toStdString();
    ASSERT_EQ(std::fwrite(data.constData(), 1, data.size(), out), static_cast<size_t>(data.size()));
    std::fclose(out);
}

// The process's current folder for the lifetime of the object.
class InFolder {
public:
    explicit InFolder(const QString& folder) : previous_(getcwd(nullptr, 0)) {
        EXPECT_EQ(chdir(QFile::encodeName(folder).constData()), 0);
    }
    ~InFolder() {
        if (previous_) {
            (void)chdir(previous_);
            std::free(previous_);
        }
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    char* previous_;
};

// A Latin-1 name listed in a folder and "C:drive.mp3" listed through the root (the current
// folder) reach the playlist and both play to their ends, one after the other.
TEST(AwkwardFiles, ALatin1NameAndADriveLikeNamePlayToTheirEnds) {
    const mWinAPI::ScopedDriveFolders table({});
    TempTree d;
    TempTree here;
    d.Folder("Music");
    CopyAs("tone_1s_cbr_44100_stereo.mp3", QFile::encodeName(d.Path("Music")) + "/caf\xE9.mp3");
    CopyAs("tone_1s_cbr_44100_stereo.mp3", QFile::encodeName(here.Path("C:drive.mp3")));
    const InFolder cwd(here.Path());
    const mWinAPI::ScopedMountList mounts({DataDisk(d.Path())});

    mVariables::ResetToStartValues();
    zr::ui::frmMain player;
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));

    QString shownName;
    zr::test::WithBrowser(player, [&](zr::ui::frmExplore& b) {
        ASSERT_TRUE(BrowserInFront(b));
        ASSERT_NO_FATAL_FAILURE(
            ClickChild(b.Explorer(), b.Explorer().Nodes().Item("Parent2"), "Music"));
        ASSERT_EQ(b.FileList().ListItems().Count(), 1);
        const QTreeView& view = b.FileList().View();
        shownName = view.model()->index(0, 0).data().toString();
        QTest::keyClick(&b, Qt::Key_T, Qt::ControlModifier);   // Select All
        QTest::keyClick(&b, Qt::Key_O, Qt::ControlModifier);   // Open Files
        ClickNode(b.Explorer(), b.Explorer().Nodes().Item(1)); // the root: the current folder
        ASSERT_EQ(b.FileList().ListItems().Count(), 1);
        QTest::keyClick(&b, Qt::Key_T, Qt::ControlModifier);
        QTest::keyClick(&b, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(&b, Qt::Key_X, Qt::ControlModifier); // Exit
    });
    EXPECT_EQ(shownName, QStringView(u"caf\uFFFD.mp3").toString())
        << "an undecodable byte shows as U+FFFD";

    zr::ui::ListView& rows = player.lstFiles;
    ASSERT_EQ(rows.ListItems().Count(), 2);
    EXPECT_EQ(rows.ListItems().Item(2).Text(), "");
    EXPECT_EQ(rows.ListItems().Item(2).SubItems(2), "C:drive.mp3");

    zr::test::ClickButton(player, 1); // Play: row 1 plays first
    EXPECT_EQ(MediaStatus("mode"), "playing");
    EXPECT_NEAR(std::atoi(MediaStatus("length").c_str()), 1000, 60);
    EXPECT_EQ(player.lblLengthA.Caption(), QString::fromStdString(MediaStatus("length")));

    // The clock's tick finds the end of the first track and starts the second.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return player.lblArtistA.Caption() == "(02) C:drive.mp3"; }, 8000));
    EXPECT_EQ(rows.ListItems().Item(1).SubItems(3), "P");
    EXPECT_EQ(MediaStatus("mode"), "playing");
    EXPECT_NEAR(std::atoi(MediaStatus("length").c_str()), 1000, 60);
    // ... and then the end of the list.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return mVariables::IsPlaying() == mVariables::kFalse; }, 8000));
    EXPECT_EQ(rows.ListItems().Item(2).SubItems(3), "P");

    player.imgControl_Click(3);
    mVariables::ResetToStartValues();
}

class BrowserOnD : public ::testing::Test {
protected:
    BrowserOnD() : table({}) {}
    ~BrowserOnD() override { mVariables::ResetToStartValues(); }
    std::unique_ptr<zr::ui::frmExplore> Show() {
        auto browser = std::make_unique<zr::ui::frmExplore>(
            playlist, nullptr, MappedDrives({Drive('D', d.Path(), "DATA")}));
        browser->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(browser.get()));
        browser->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(browser.get()));
        return browser;
    }
    const mWinAPI::ScopedDriveFolders table;
    TempTree d;
    zr::ui::ListView playlist{nullptr};
};

// Twenty levels down, every node can be read, reached with the keyboard and clicked: the tree
// scrolls sideways, and a Right on the deepest node stays there.
TEST_F(BrowserOnD, EveryLevelOfADeepFolderCanBeSeenReachedAndClicked) {
    QString path;
    for (int level = 1; level <= 20; ++level) {
        path += QStringLiteral("/level %1 of the folders").arg(level, 2, 10, QLatin1Char('0'));
    }
    d.Folder(path.mid(1));
    d.File(path.mid(1) + "/deepest.mp3");
    d.File(path.mid(1, path.lastIndexOf('/') - 1) + "/nineteen.mp3");
    auto b = Show();
    zr::ui::TreeView& tree = b->Explorer();
    QTreeWidget& view = tree.View();

    ClickNode(tree, tree.Nodes().Item("Parent1"));
    for (int level = 1; level <= 20; ++level) {
        QTest::keyClick(&view, Qt::Key_Right); // open the node ...
        QTest::keyClick(&view, Qt::Key_Right); // ... and step to its folder
        zr::ui::Node* selected = tree.SelectedItem();
        ASSERT_NE(selected, nullptr) << "level " << level;
        ASSERT_EQ(selected->Text(),
                  QStringLiteral("level %1 of the folders").arg(level, 2, 10, QLatin1Char('0')));
    }
    zr::ui::Node* deepest = tree.SelectedItem();
    ASSERT_EQ(b->FileList().ListItems().Count(), 1);
    EXPECT_EQ(b->FileList().ListItems().Item(1).Text(), "deepest.mp3");
    QTest::keyClick(&view, Qt::Key_Right); // nothing below: the selection stays
    EXPECT_EQ(tree.SelectedItem(), deepest);
    EXPECT_EQ(b->ListedFolder().count('\\'), 21);

    // The deepest node is drawn inside the tree, its text whole in the column.
    QApplication::processEvents();
    QTreeWidgetItem* item = zr::test::ItemOf(tree, deepest);
    ASSERT_NE(item, nullptr);
    QRect rect = view.visualItemRect(item);
    EXPECT_TRUE(view.viewport()->rect().contains(rect.left() + 20, rect.center().y()))
        << "node at x " << rect.left() << " in a viewport " << view.viewport()->width();
    EXPECT_GE(view.header()->sectionSize(0) - view.horizontalScrollBar()->value() - rect.left(),
              view.fontMetrics().horizontalAdvance(deepest->Text()));
    EXPECT_GT(view.horizontalScrollBar()->value(), 0);

    // Up to level 19 with the keyboard, then a click on the deepest node where it is drawn.
    QTest::keyClick(&view, Qt::Key_Left);
    QApplication::processEvents();
    zr::ui::Node* nineteen = deepest->Parent();
    ASSERT_EQ(tree.SelectedItem(), nineteen);
    ASSERT_EQ(b->FileList().ListItems().Count(), 1);
    EXPECT_EQ(b->FileList().ListItems().Item(1).Text(), "nineteen.mp3");
    rect = view.visualItemRect(item);
    ASSERT_TRUE(view.viewport()->rect().contains(rect.left() + 10, rect.center().y()))
        << "node at x " << rect.left() << " in a viewport " << view.viewport()->width();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 10, rect.center().y()));
    EXPECT_EQ(tree.SelectedItem(), deepest);
    ASSERT_EQ(b->FileList().ListItems().Count(), 1);
    EXPECT_EQ(b->FileList().ListItems().Item(1).Text(), "deepest.mp3");
}

// Select All marks every row but leaves the list where the user scrolled it.
TEST_F(BrowserOnD, SelectAllKeepsTheListsScrollPosition) {
    for (int i = 0; i < 300; ++i) {
        d.File(QStringLiteral("track %1.mp3").arg(i, 3, 10, QLatin1Char('0')));
    }
    auto b = Show();
    ClickNode(b->Explorer(), b->Explorer().Nodes().Item("Parent1"));
    ASSERT_EQ(b->FileList().ListItems().Count(), 300);
    QScrollBar* bar = b->FileList().View().verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 3);
    const int scrolled = bar->value();
    QTest::keyClick(b.get(), Qt::Key_T, Qt::ControlModifier);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(b->FileList().ListItems().Item(300).Selected());
    EXPECT_TRUE(b->FileList().View().selectionModel()->isRowSelected(299, {}));
    EXPECT_EQ(bar->value(), scrolled);
}

// Each menu starts with its separator line, drawn; the items come after it and are chosen
// where they are then drawn.
TEST_F(BrowserOnD, MenusStartWithTheirSeparatorAndItemsAreClickedWhereTheyAre) {
    d.File("one.mp3");
    auto b = Show();
    ClickNode(b->Explorer(), b->Explorer().Nodes().Item("Parent1"));
    ASSERT_EQ(b->FileList().ListItems().Count(), 1);

    const QList<QAction*> bar = b->MenuBar()->actions();
    ASSERT_EQ(bar.size(), 2);
    QMenu& file = *bar.at(0)->menu();
    QMenu& mp3 = *bar.at(1)->menu();
    for (QMenu* menu : {&mp3, &file}) {
        menu->popup(b->mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QList<QAction*> actions = menu->actions();
        ASSERT_FALSE(actions.isEmpty());
        const QRect separator = menu->actionGeometry(actions.front());
        EXPECT_TRUE(actions.front()->isSeparator());
        EXPECT_LE(separator.bottom(), menu->actionGeometry(actions.at(1)).top());
        // Drawn: below the menu's top border and a light gap, a grey rule across most of the
        // menu, above the first item. (A separator squeezed into the border is not seen.)
        const QImage image = menu->grab().toImage();
        const int firstItem = menu->actionGeometry(actions.at(1)).top();
        const auto greyRow = [&](int y) {
            int grey = 0;
            for (int x = separator.left(); x <= separator.right(); ++x) {
                grey += qGray(image.pixel(x, y)) < 170 ? 1 : 0;
            }
            return grey > separator.width() / 2;
        };
        int runs = 0;
        for (int y = 0, inRun = 0; y < firstItem; ++y) {
            const bool grey = greyRow(y);
            runs += grey && !inRun ? 1 : 0;
            inRun = grey;
        }
        EXPECT_GE(runs, 2) << "the leading separator is not drawn apart from the border";
        menu->hide();
    }
    bool selected = false;
    mp3.popup(b->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mp3));
    QTest::mouseClick(&mp3, Qt::LeftButton, {},
                      mp3.actionGeometry(&b->mnuMp3CSelectAll().Action()).center());
    QApplication::processEvents();
    selected = b->FileList().ListItems().Item(1).Selected();
    EXPECT_TRUE(selected) << "Select All was not where it is drawn";
}

} // namespace
