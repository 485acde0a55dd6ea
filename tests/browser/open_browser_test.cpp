#include "BrowserTestSupport.h"
#include "HungMount.h"

#include "Form.h"
#include "ListView.h"
#include "Runtime.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "mVariables.h"

#include <QTimer>

namespace {

using zr::test::ChildNamed;
using zr::test::ChildTexts;
using zr::test::ClickExpandButton;
using zr::test::ClickNode;
using zr::test::DataDisk;
using zr::test::OpenBrowser;
using zr::test::TempTree;
using zr::test::WhileOpen;
using zr::ui::frmExplore;

TEST(OpenBrowser, ShowsModallyWithTheOwnerWaitingAndEachOpeningStartsAfresh) {
    const mWinAPI::ScopedDriveFolders table({});
    TempTree d;
    d.Folder("a/deep/deeper");
    d.File("a/one.mp3", 1);
    const mWinAPI::ScopedMountList mounts({DataDisk(d.Path())});

    zr::ui::Form owner;
    owner.show();
    zr::ui::ListView playlist(&owner);

    int ownerPointer = -1;
    bool modal = false;
    int filledChildren = -1;
    {
        WhileOpen first([&](frmExplore& b) {
            ownerPointer = owner.MousePointer();
            modal = b.isModal();
            zr::ui::Node* driveD = b.Explorer().Nodes().Item("Parent2");
            ASSERT_NE(driveD, nullptr);
            EXPECT_EQ(driveD->Text(), "DATA (D:)");
            zr::ui::Node* a = ChildNamed(driveD, "a");
            ASSERT_NE(a, nullptr);
            ClickNode(b.Explorer(), a);
            ClickExpandButton(b.Explorer(), a);
            filledChildren = ChildNamed(a, "deep")->Children();
            EXPECT_EQ(b.FileList().ListItems().Count(), 1);
            QTest::keyClick(&b, Qt::Key_X, Qt::ControlModifier);
        });
        frmExplore::Open(&owner, playlist);
        EXPECT_TRUE(first.Ran());
    }
    EXPECT_EQ(ownerPointer, zr::ui::vbHourglass);
    EXPECT_TRUE(modal);
    EXPECT_EQ(filledChildren, 1);
    EXPECT_EQ(owner.MousePointer(), zr::ui::vbDefault);
    EXPECT_EQ(OpenBrowser(), nullptr);

    // The second opening builds the tree from the drives again: nothing filled, nothing listed.
    d.Folder("b");
    {
        WhileOpen second([&](frmExplore& b) {
            zr::ui::Node* driveD = b.Explorer().Nodes().Item("Parent2");
            ASSERT_NE(driveD, nullptr);
            EXPECT_NE(ChildNamed(driveD, "b"), nullptr);
            zr::ui::Node* a = ChildNamed(driveD, "a");
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->Children(), 0);
            EXPECT_FALSE(a->Expanded());
            EXPECT_EQ(b.FileList().ListItems().Count(), 0);
            EXPECT_FALSE(b.mnuFileCOpenFiles().Enabled());
            b.close(); // the window's close box
        });
        frmExplore::Open(&owner, playlist);
        EXPECT_TRUE(second.Ran());
    }
    EXPECT_EQ(OpenBrowser(), nullptr);
    mVariables::ResetToStartValues();
}

TEST(OpenBrowser, AFolderThatStopsAnsweringListsNothingAndTheOthersStillList) {
    const mWinAPI::ScopedDriveFolders table({});
    TempTree d;
    d.Folder("a/x/deep");
    d.Folder("a/y/z");
    d.File("a/a.mp3", 1);
    d.Folder("b");
    d.File("b/b.mp3", 2);
    const mWinAPI::ScopedMountList mounts({DataDisk(d.Path())});
    zr::ui::ListView playlist(nullptr);

    zr::test::HungMount hung;
    std::string why;
    WhileOpen step([&](frmExplore& b) {
        zr::ui::Node* driveD = b.Explorer().Nodes().Item("Parent2");
        ASSERT_NE(driveD, nullptr);
        zr::ui::Node* a = ChildNamed(driveD, "a");
        ASSERT_NE(a, nullptr);
        ClickNode(b.Explorer(), a);
        EXPECT_EQ(ChildTexts(a), (QStringList{"x", "y"}));
        // The share behind the folder x goes away after the browser has shown it.
        why = hung.Mount(d.Path("a/x"));
        if (why.empty()) {
            ClickExpandButton(b.Explorer(), a); // reads x and y, one level ahead
            EXPECT_EQ(ChildNamed(a, "x")->Children(), 0);
            EXPECT_EQ(ChildTexts(ChildNamed(a, "y")), QStringList{"z"});
            ClickNode(b.Explorer(), ChildNamed(a, "x"));
            EXPECT_EQ(b.FileList().ListItems().Count(), 0);
            EXPECT_FALSE(b.mnuFileCOpenFiles().Enabled());
            ClickNode(b.Explorer(), ChildNamed(driveD, "b"));
            EXPECT_EQ(b.FileList().ListItems().Count(), 1);
            ClickNode(b.Explorer(), ChildNamed(a, "x"));
            EXPECT_EQ(b.FileList().ListItems().Count(), 0);
        }
        b.mnuFileExit().Action().trigger();
    });
    frmExplore::Open(nullptr, playlist);
    ASSERT_TRUE(step.Ran());
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_FALSE(hung.ReleasedByWatchdog());
    mVariables::ResetToStartValues();
}

TEST(OpenBrowser, TimersOfOtherWindowsKeepTickingWhileItIsOpen) {
    const mWinAPI::ScopedDriveFolders table({});
    const mWinAPI::ScopedMountList mounts({});
    zr::ui::ListView playlist(nullptr);
    int ticks = 0;
    QTimer player;
    QObject::connect(&player, &QTimer::timeout, [&] { ++ticks; });
    player.start(5);
    WhileOpen step([&](frmExplore& b) {
        QTest::qWait(100);
        b.mnuFileExit().Action().trigger();
    });
    frmExplore::Open(nullptr, playlist);
    EXPECT_TRUE(step.Ran());
    EXPECT_GT(ticks, 5);
    mVariables::ResetToStartValues();
}

} // namespace
