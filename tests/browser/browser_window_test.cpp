#include "BrowserTestSupport.h"

#include "Line.h"
#include "ListBox.h"
#include "ListView.h"
#include "Menu.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "mVariables.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <map>

namespace {

using zr::test::ChildNamed;
using zr::test::ChildTexts;
using zr::test::ClickExpandButton;
using zr::test::ClickNode;
using zr::test::Drive;
using zr::test::MappedDrives;
using zr::test::TempTree;
using zr::ui::frmExplore;
using zr::ui::ListView;
using zr::ui::Node;

constexpr zr::ui::ColorRef kGrey = zr::ui::Rgb(120, 120, 120);
constexpr zr::ui::ColorRef kMp3Blue = zr::ui::Rgb(60, 60, 140);

// The player's playlist as the browser sees it: five columns, rows appended at the end.
class Playlist : public ListView {
public:
    Playlist() : ListView(nullptr) {
        for (const char* header : {"File Path.", "Count.", "File Name.", "Time", "Played"}) {
            ColumnHeaders().Add(header, 1000);
        }
    }
    // "D:\Music\|01.|a.mp3|U" per row.
    QStringList Rows() {
        QStringList rows;
        for (int i = 1; i <= ListItems().Count(); ++i) {
            const zr::ui::ListItem row = ListItems().Item(i);
            rows << row.Text() + "|" + row.SubItems(1) + "|" + row.SubItems(2) + "|" +
                        row.SubItems(3);
        }
        return rows;
    }
};

class BrowserWindow : public ::testing::Test {
protected:
    BrowserWindow() : table({}) {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // Drive C: and D: each hold folders; D:\Music holds the songs.
        c.Folder("Users");
        c.Folder("Programs");
        d.Folder("B");
        d.Folder("a/deep/deeper");
        d.Folder("C");
        d.Folder(".cache");
        d.Folder("Music/x.mp3");
        d.File("Music/Song.MP3", 1000000);
        d.File("Music/a.mp3", 0);
        d.File("Music/notes.txt", 10);
        d.Folder("Empty");
        d.File("Empty/readme.txt", 5);
        d.File("root.mp3", 1234);
        // Names with a backslash cannot be written as drive-letter paths: never shown.
        d.Folder("back\\slash");
        d.File("Music/back\\slash.mp3", 1);
    }
    ~BrowserWindow() override {
        mVariables::ResetToStartValues();
        QLocale::setDefault(QLocale::c());
    }

    // Opens a browser on drives C: and D: and waits until it is on screen.
    std::unique_ptr<frmExplore> Show() {
        auto browser = std::make_unique<frmExplore>(
            playlist, nullptr,
            MappedDrives({Drive('C', c.Path(), "SYSTEM"), Drive('D', d.Path(), "DATA")}));
        browser->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(browser.get()));
        browser->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(browser.get()));
        return browser;
    }

    static Node* DriveD(frmExplore& b) { return b.Explorer().Nodes().Item("Parent2"); }

    static std::map<QString, QString> FileRows(frmExplore& b) {
        std::map<QString, QString> rows;
        for (int i = 1; i <= b.FileList().ListItems().Count(); ++i) {
            const zr::ui::ListItem row = b.FileList().ListItems().Item(i);
            rows[row.Text()] = row.SubItems(1);
        }
        return rows;
    }

    static bool MenusEnabled(frmExplore& b) {
        EXPECT_EQ(b.mnuFileCOpenFiles().Enabled(), b.mnuMp3CSelectAll().Enabled());
        return b.mnuFileCOpenFiles().Enabled();
    }

    const mWinAPI::ScopedDriveFolders table;
    TempTree c;
    TempTree d;
    Playlist playlist;
};

TEST_F(BrowserWindow, OpensWithTheRootExpandedAndEveryDriveHoldingItsFirstLevelFolders) {
    mVariables::SetComputerName("");
    auto b = Show();
    EXPECT_EQ(b->windowTitle(), "Select you Mp3 Files");
    EXPECT_EQ(b->ScaleWidth(), 9615);
    EXPECT_EQ(b->ScaleHeight(), 6120);

    Node* root = b->Explorer().Nodes().Item(1);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(mVariables::ComputerName().isEmpty()); // read during load
    EXPECT_EQ(root->Text(), mVariables::ComputerName());
    EXPECT_TRUE(root->Expanded());
    EXPECT_EQ(ChildTexts(root), (QStringList{"SYSTEM (C:)", "DATA (D:)"}));
    EXPECT_EQ(ChildTexts(b->Explorer().Nodes().Item("Parent1")),
              (QStringList{"Programs", "Users"}));
    EXPECT_EQ(ChildTexts(DriveD(*b)), (QStringList{".cache", "a", "B", "C", "Empty", "Music"}));
    // Only one level ahead: the folders themselves are not read yet.
    EXPECT_EQ(ChildNamed(DriveD(*b), "a")->Children(), 0);

    EXPECT_EQ(b->FileList().ListItems().Count(), 0);
    EXPECT_FALSE(MenusEnabled(*b));
    EXPECT_EQ(b->List1().ListCount(), 0);
    EXPECT_FALSE(b->List1().Visible());
    EXPECT_EQ(QApplication::focusWidget(), &b->FileList().View());
}

TEST_F(BrowserWindow, FolderNodesAreSortedCaseInsensitivelyWithHiddenOnesGrey) {
    auto b = Show();
    for (Node* folder = DriveD(*b)->Child(); folder; folder = folder->Next()) {
        EXPECT_EQ(folder->Image(), "cldfolder");
        EXPECT_EQ(folder->SelectedImage(), "opnfolder");
        EXPECT_TRUE(folder->Key().isEmpty());
        const bool grey = folder->Text() == ".cache";
        EXPECT_EQ(folder->ForeColor() == kGrey, grey) << folder->Text().toStdString();
    }
}

TEST_F(BrowserWindow, ClickingAFolderListsItsMp3FilesWithTheirSizes) {
    auto b = Show();
    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Music"));
    EXPECT_EQ(FileRows(*b),
              (std::map<QString, QString>{{"Song.MP3", "1,000,000"}, {"a.mp3", "0"}}));
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(b->FileList().ListItems().Item(i).ForeColor(), kMp3Blue);
    }
    EXPECT_TRUE(MenusEnabled(*b));
    EXPECT_TRUE(b->FileList().Visible());
    EXPECT_EQ(b->ListedFolder(), "D:\\Music\\");
    // The folder named x.mp3 became a node, not a row.
    EXPECT_EQ(ChildTexts(ChildNamed(DriveD(*b), "Music")), QStringList{"x.mp3"});

    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Empty"));
    EXPECT_EQ(b->FileList().ListItems().Count(), 0);
    EXPECT_FALSE(MenusEnabled(*b));

    ClickNode(b->Explorer(), DriveD(*b));
    EXPECT_EQ(FileRows(*b), (std::map<QString, QString>{{"root.mp3", "1,234"}}));
    EXPECT_TRUE(MenusEnabled(*b));
}

TEST_F(BrowserWindow, AVolumeNameWithParenthesesKeepsItsFoldersReachable) {
    auto b = std::make_unique<frmExplore>(
        playlist, nullptr, MappedDrives({Drive('E', d.Path(), "Old (2009) disk)(")}));
    b->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(b.get()));
    Node* drive = b->Explorer().Nodes().Item("Parent1");
    EXPECT_EQ(drive->Text(), "Old (2009) disk)( (E:)");
    ClickNode(b->Explorer(), ChildNamed(drive, "Music"));
    EXPECT_EQ(b->ListedFolder(), "E:\\Music\\");
    EXPECT_EQ(b->FileList().ListItems().Count(), 2);
    EXPECT_EQ(ChildTexts(ChildNamed(drive, "Music")), QStringList{"x.mp3"});
}

TEST_F(BrowserWindow, FilesOf2GiBAndMoreShowTheirTrueSize) {
    d.File("Music/long.mp3", 3221225472LL);
    d.File("Music/edge.mp3", 2147483648LL);
    auto b = Show();
    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Music"));
    const auto rows = FileRows(*b);
    EXPECT_EQ(rows.at("long.mp3"), "3,221,225,472");
    EXPECT_EQ(rows.at("edge.mp3"), "2,147,483,648");
}

TEST_F(BrowserWindow, ClickingTheRootListsTheCurrentFolder) {
    TempTree here;
    here.File("current.mp3", 7);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(here.Path()));
    auto b = Show();
    ClickNode(b->Explorer(), b->Explorer().Nodes().Item(1));
    EXPECT_EQ(FileRows(*b), (std::map<QString, QString>{{"current.mp3", "7"}}));
    QDir::setCurrent(previous);
}

TEST_F(BrowserWindow, AFilledNodeIsNeverSearchedAgain) {
    auto b = Show();
    Node* a = ChildNamed(DriveD(*b), "a");
    ClickNode(b->Explorer(), a);
    EXPECT_EQ(ChildTexts(a), QStringList{"deep"});
    d.Folder("a/later");
    ClickNode(b->Explorer(), a);
    EXPECT_EQ(ChildTexts(a), QStringList{"deep"});
    // An empty folder is read again on every click, so a folder made since shows up.
    Node* c = ChildNamed(DriveD(*b), "C");
    ClickNode(b->Explorer(), c);
    EXPECT_EQ(c->Children(), 0);
    d.Folder("C/new");
    ClickNode(b->Explorer(), c);
    EXPECT_EQ(ChildTexts(c), QStringList{"new"});
}

TEST_F(BrowserWindow, ExpandingFillsTheChildrenOneLevelAheadAndLeavesTheListAlone) {
    auto b = Show();
    Node* a = ChildNamed(DriveD(*b), "a");
    Node* music = ChildNamed(DriveD(*b), "Music");
    ClickNode(b->Explorer(), a); // fills a with "deep"
    ClickNode(b->Explorer(), music);
    ASSERT_EQ(b->FileList().ListItems().Count(), 2);

    ClickExpandButton(b->Explorer(), a);
    EXPECT_TRUE(a->Expanded());
    Node* deep = ChildNamed(a, "deep");
    EXPECT_EQ(ChildTexts(deep), QStringList{"deeper"});
    EXPECT_EQ(ChildNamed(deep, "deeper")->Children(), 0); // only one level ahead
    EXPECT_EQ(b->FileList().ListItems().Count(), 2);
    EXPECT_EQ(b->ListedFolder(), "D:\\Music\\");
    EXPECT_TRUE(music->Selected());
}

TEST_F(BrowserWindow, ASymbolicLinkLoopGrowsOneLevelPerExpansionOnly) {
    // D:\ring\inner\back leads back to D:\ring, so the path can be opened without end.
    d.Folder("ring/inner");
    ASSERT_TRUE(QFile::link(d.Path("ring"), d.Path("ring/inner/back")));
    auto b = Show();
    Node* node = ChildNamed(DriveD(*b), "ring");
    ClickNode(b->Explorer(), node);
    for (int level = 0; level < 8; ++level) {
        const int before = b->Explorer().Nodes().Count();
        ClickExpandButton(b->Explorer(), node);
        ASSERT_TRUE(node->Expanded()) << level;
        EXPECT_EQ(b->Explorer().Nodes().Count() - before, 1) << level;
        node = node->Child();
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Text(), QString(level % 2 == 0 ? "inner" : "back"));
    }
    // The link is not a plain folder, so it is grey.
    EXPECT_EQ(ChildNamed(ChildNamed(ChildNamed(DriveD(*b), "ring"), "inner"), "back")->ForeColor(),
              kGrey);
}

TEST_F(BrowserWindow, AFolderThatIsGoneOrADriveThatIsNotReadyAddsAndListsNothing) {
    TempTree gone;
    gone.Folder("Vanishing");
    auto b = std::make_unique<frmExplore>(
        playlist, nullptr,
        MappedDrives(
            {Drive('D', gone.Path(), "GONE"), Drive('E', "", "", mWinAPI::kDriveOptical, false)}));
    b->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(b.get()));
    Node* vanishing = ChildNamed(b->Explorer().Nodes().Item("Parent1"), "Vanishing");
    ASSERT_NE(vanishing, nullptr);
    ASSERT_TRUE(QDir(gone.Path("Vanishing")).removeRecursively());
    ClickNode(b->Explorer(), vanishing);
    EXPECT_EQ(vanishing->Children(), 0);
    EXPECT_EQ(b->FileList().ListItems().Count(), 0);

    Node* cd = b->Explorer().Nodes().Item("Parent2");
    EXPECT_EQ(cd->Text(), " (E:)");
    ClickNode(b->Explorer(), cd);
    EXPECT_EQ(cd->Children(), 0);
    EXPECT_EQ(b->FileList().ListItems().Count(), 0);
    EXPECT_FALSE(MenusEnabled(*b));
}

TEST_F(BrowserWindow, AKeyboardSelectionChangeListsTheNewNodesFiles) {
    d.File("Empty/z.mp3", 3);
    auto b = Show();
    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Empty"));
    EXPECT_EQ(FileRows(*b), (std::map<QString, QString>{{"z.mp3", "3"}}));
    QTest::keyClick(&b->Explorer().View(), Qt::Key_Down); // Empty -> Music
    ASSERT_TRUE(ChildNamed(DriveD(*b), "Music")->Selected());
    EXPECT_EQ(FileRows(*b),
              (std::map<QString, QString>{{"Song.MP3", "1,000,000"}, {"a.mp3", "0"}}));
    EXPECT_EQ(b->ListedFolder(), "D:\\Music\\");

    // "Open Files" takes folder and names from the same node.
    b->FileList().ListItems().Item(1).SetSelected(true);
    b->mnuFileCOpenFiles_Click();
    ASSERT_EQ(playlist.ListItems().Count(), 1);
    EXPECT_EQ(playlist.ListItems().Item(1).Text(), "D:\\Music\\");
}

TEST_F(BrowserWindow, SelectAllThenOpenFilesAppendsEveryRowNumberedInListOrder) {
    d.File("Music/b.mp3", 1);
    auto b = Show();
    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Music"));
    ASSERT_EQ(b->FileList().ListItems().Count(), 3);
    QStringList names;
    for (int i = 1; i <= 3; ++i) {
        names << b->FileList().ListItems().Item(i).Text();
    }

    QTest::keyClick(b.get(), Qt::Key_T, Qt::ControlModifier); // Select All
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(b->FileList().ListItems().Item(i).Selected());
    }
    QTest::keyClick(b.get(), Qt::Key_O, Qt::ControlModifier); // Open Files
    EXPECT_EQ(playlist.Rows(), (QStringList{"D:\\Music\\|01.|" + names[0] + "|U",
                                            "D:\\Music\\|02.|" + names[1] + "|U",
                                            "D:\\Music\\|03.|" + names[2] + "|U"}));
    // The browser stays open with its selection; a second use adds the same files again.
    EXPECT_TRUE(b->isVisible());
    QTest::keyClick(b.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(playlist.ListItems().Count(), 6);
    EXPECT_EQ(playlist.Rows()[5], "D:\\Music\\|06.|" + names[2] + "|U");
}

TEST_F(BrowserWindow, OpenFilesTakesOnlyTheSelectedRowsAndNumbersOnFromThePlaylist) {
    for (int i = 1; i <= 9; ++i) {
        zr::ui::ListItem row = playlist.ListItems().Add("C:\\old\\");
        row.SetSubItems(1, QString("0%1.").arg(i));
    }
    d.File("Music/b.mp3", 1);
    auto b = Show();
    ClickNode(b->Explorer(), ChildNamed(DriveD(*b), "Music"));
    ListView& files = b->FileList();
    ASSERT_EQ(files.ListItems().Count(), 3);
    // Click the first row, Ctrl+click the third.
    QTreeView& view = files.View();
    const auto rowCenter = [&](int row) {
        return view.visualRect(view.model()->index(row, 0)).center();
    };
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCenter(2));
    const QString first = files.ListItems().Item(1).Text();
    const QString third = files.ListItems().Item(3).Text();
    EXPECT_FALSE(files.ListItems().Item(2).Selected());

    b->mnuFileCOpenFiles().Action().trigger();
    ASSERT_EQ(playlist.ListItems().Count(), 11);
    EXPECT_EQ(playlist.Rows()[9], "D:\\Music\\|10.|" + first + "|U");
    EXPECT_EQ(playlist.Rows()[10], "D:\\Music\\|11.|" + third + "|U");
}

TEST_F(BrowserWindow, ExitClosesTheWindow) {
    auto b = Show();
    QTest::keyClick(b.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(b->isVisible());
}

TEST_F(BrowserWindow, MenusAndControlsAreLaidOutAsTheLayoutSays) {
    auto b = Show();
    EXPECT_EQ(b->mnuFileCOpenFiles().Caption(), "Open Files");
    EXPECT_EQ(b->mnuFileCOpenFiles().Shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(b->mnuFileExit().Caption(), "E&xit");
    EXPECT_EQ(b->mnuFileExit().Shortcut(), QKeySequence("Ctrl+X"));
    EXPECT_TRUE(b->mnuFileExit().Enabled());
    EXPECT_EQ(b->mnuMp3CSelectAll().Caption(), "Select All");
    EXPECT_EQ(b->mnuMp3CSelectAll().Shortcut(), QKeySequence("Ctrl+T"));
    EXPECT_EQ(b->FileList().ColumnHeaders().Text(1), "FileName.");
    EXPECT_EQ(b->FileList().ColumnHeaders().Width(1), 3640);
    EXPECT_EQ(b->FileList().ColumnHeaders().Text(2), "FileSize.");
    EXPECT_EQ(b->FileList().ColumnHeaders().Width(2), 1440);
    EXPECT_TRUE(b->FileList().MultiSelect());
    EXPECT_EQ(b->Explorer().Left(), 0);
    EXPECT_EQ(b->Explorer().Top(), 120);
    EXPECT_EQ(b->FileList().Left(), 4440);
    EXPECT_EQ(b->ImageList1().Count(), 9);
    EXPECT_FALSE(b->ImageList1().Image("drvmemory").isNull());
    EXPECT_EQ(b->lneMenu(0).BorderColor(), zr::ui::Rgb(128, 128, 128));
    EXPECT_EQ(b->lneMenu(1).Y1(), 10);
    // No in-place editing of tree labels or file names.
    EXPECT_EQ(b->Explorer().View().editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(b->FileList().View().editTriggers(), QAbstractItemView::NoEditTriggers);
}

} // namespace
