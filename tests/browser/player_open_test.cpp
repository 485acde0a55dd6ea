// The whole road from the player's Open button to a playing track, with the real window, the
// real media service and real MP3 files on a temporary drive.

#include "BrowserTestSupport.h"
#include "HungMount.h"

#include "ListView.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "frmMain.h"
#include "mVariables.h"
#include "mWinAPI.h"

#include <QTreeView>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using zr::test::BrowserInFront;
using zr::test::ChildNamed;
using zr::test::ClickChild;
using zr::test::ClickNode;
using zr::test::DataDisk;
using zr::test::Fixture;
using zr::test::MediaStatus;
using zr::test::TempTree;

TEST(PlayerOpen, ChosenFilesReachThePlaylistAndTheFirstOnePlays) {
    const mWinAPI::ScopedDriveFolders table({});
    TempTree d;
    d.Folder("Music");
    ASSERT_TRUE(QFile::copy(Fixture("tone_3s_cbr_44100_stereo.mp3"), d.Path("Music/first.mp3")));
    ASSERT_TRUE(QFile::copy(Fixture("tone_1s_cbr_44100_stereo.mp3"), d.Path("Music/second.mp3")));
    const mWinAPI::ScopedMountList mounts({DataDisk(d.Path())});

    mVariables::ResetToStartValues();
    zr::ui::frmMain player;
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));

    QStringList listed;
    zr::test::WithBrowser(player, [&](zr::ui::frmExplore& b) {
        ASSERT_TRUE(BrowserInFront(b));
        ASSERT_NO_FATAL_FAILURE(
            ClickChild(b.Explorer(), b.Explorer().Nodes().Item("Parent2"), "Music"));
        for (int i = 1; i <= b.FileList().ListItems().Count(); ++i) {
            listed << b.FileList().ListItems().Item(i).Text();
        }
        QTest::keyClick(&b, Qt::Key_T, Qt::ControlModifier); // Select All
        QTest::keyClick(&b, Qt::Key_O, Qt::ControlModifier); // Open Files
        QTest::keyClick(&b, Qt::Key_X, Qt::ControlModifier); // Exit
    });
    ASSERT_EQ(listed, (QStringList{"first.mp3", "second.mp3"}));
    zr::ui::ListView& rows = player.lstFiles;
    ASSERT_EQ(rows.ListItems().Count(), 2);
    EXPECT_EQ(rows.ListItems().Item(1).Text(), "D:\\Music\\");
    EXPECT_EQ(rows.ListItems().Item(1).SubItems(1), "01.");
    EXPECT_EQ(rows.ListItems().Item(1).SubItems(2), "first.mp3");
    EXPECT_EQ(rows.ListItems().Item(2).SubItems(1), "02.");

    // Select the first row and press Play.
    QTreeView& view = rows.View();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(0, 1)).center());
    ASSERT_TRUE(rows.ListItems().Item(1).Selected());
    zr::test::ClickButton(player, 1); // Play

    EXPECT_EQ(mVariables::IsPlaying(), mVariables::kTrue);
    EXPECT_EQ(player.lblArtistA.Caption(), "(01) first.mp3");
    EXPECT_EQ(MediaStatus("mode"), "playing");
    const int length = std::atoi(MediaStatus("length").c_str());
    EXPECT_GE(length, 2900);
    EXPECT_LE(length, 3100);
    EXPECT_EQ(rows.ListItems().Item(1).SubItems(3), "P");

    player.imgControl_Click(3); // stop, so no device stays open
    mVariables::ResetToStartValues();
}

TEST(PlayerOpen, AHungShareIsANotReadyDriveAndEverythingElseWorksMeanwhile) {
    const mWinAPI::ScopedDriveFolders table({});
    TempTree d;
    d.Folder("Music");
    ASSERT_TRUE(QFile::copy(Fixture("tone_1s_cbr_44100_stereo.mp3"), d.Path("Music/one.mp3")));
    TempTree e;
    zr::test::HungMount nas;
    if (const std::string why = nas.Mount(e.Path()); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // The label is shown only while the share answers.
    const mWinAPI::ScopedMountList mounts(
        {DataDisk(d.Path()), zr::test::Mount(e.Path(), "nas:/export/music", "nfs4", "MUSIC")});

    mVariables::ResetToStartValues();
    zr::ui::frmMain player;
    player.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&player));

    zr::test::WithBrowser(player, [&](zr::ui::frmExplore& b) {
        ASSERT_TRUE(BrowserInFront(b));
        zr::ui::Node* data = b.Explorer().Nodes().Item("Parent2");
        zr::ui::Node* nasDrive = b.Explorer().Nodes().Item("Parent3");
        ASSERT_NE(data, nullptr);
        ASSERT_NE(nasDrive, nullptr);
        EXPECT_EQ(nasDrive->Text() + "|" + nasDrive->Image(), " (E:)|drvremote");
        ClickNode(b.Explorer(), nasDrive);
        ClickNode(b.Explorer(), ChildNamed(data, "Music"));
        EXPECT_EQ(b.FileList().ListItems().Count(), 1);
        QTest::keyClick(&b, Qt::Key_T, Qt::ControlModifier); // Select All
        QTest::keyClick(&b, Qt::Key_O, Qt::ControlModifier); // Open Files
        QTest::keyClick(&b, Qt::Key_X, Qt::ControlModifier); // Exit
    });

    // The share still hangs: the player plays what was chosen.
    ASSERT_EQ(player.lstFiles.ListItems().Count(), 1);
    QTreeView& view = player.lstFiles.View();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(0, 1)).center());
    zr::test::ClickButton(player, 1); // Play
    EXPECT_EQ(MediaStatus("mode"), "playing");
    EXPECT_EQ(player.lblArtistA.Caption(), "(01) one.mp3");
    player.imgControl_Click(3);
    EXPECT_FALSE(nas.ReleasedByWatchdog());
    mVariables::ResetToStartValues();
}

} // namespace
