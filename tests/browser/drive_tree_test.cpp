#include "BrowserTestSupport.h"

#include "TreeView.h"
#include "cDrives.h"
#include "mVariables.h"

#include <gtest/gtest.h>

namespace {

using mWinAPI::MountEntry;
using zr::test::Mount;
using zr::ui::cDrives;
using zr::ui::TreeView;

// "key|text|image" of every node: the root first, then the drives.
QStringList Nodes(TreeView& tree) {
    QStringList out;
    for (int i = 1; i <= tree.Nodes().Count(); ++i) {
        const zr::ui::Node* n = tree.Nodes().Item(i);
        out << n->Key() + "|" + n->Text() + "|" + n->Image();
    }
    return out;
}

// The tree's first load: the machine as its root (collapsed, the window's load step expands it),
// under it one node per drive with the icon of its kind and "label (X:)"; a drive of no known
// kind is left out but keeps its key number.
TEST(DriveTree, TheMachineIsTheRootAndEachDriveOfAKnownKindANodeUnderIt) {
    MountEntry cd;
    cd.device = "/dev/sr0";
    cd.ready = false;
    const struct {
        const char* what;
        QString machine;
        std::vector<mWinAPI::DriveInfo> drives;
        QStringList nodes;
        QString letters;
    } table[] = {
        {"only C",
         "MYPC",
         mWinAPI::LetterDrives({Mount("/", "/dev/sda1", "ext4", "SYSTEM")}),
         {"MYPC|MYPC|mycomputer", "Parent1|SYSTEM (C:)|drvfixed"},
         "C"},
        {"every kind of mount",
         "MYPC",
         mWinAPI::LetterDrives({
             Mount("/", "/dev/sda1", "ext4"),
             Mount("/media/ann/STICK", "/dev/sdb1", "vfat", "STICK"),
             Mount("/mnt/nas", "nas:/music", "nfs4"),
             cd,
             Mount("/mnt/ram", "tmpfs", "tmpfs", ""),
             Mount("/mnt/pool", "pool", "fuse.mergerfs", "POOL"),
         }),
         {"MYPC|MYPC|mycomputer", "Parent1| (C:)|drvfixed", "Parent2|STICK (D:)|drvremove",
          "Parent3| (E:)|drvremote", "Parent4| (F:)|drvcd", "Parent5| (G:)|drvmemory",
          "Parent6|POOL (H:)|drvunknown"},
         "CDEFGH"},
        {"a drive of unknown type",
         "MYPC",
         {zr::test::Drive('C', "/", "SYS"), zr::test::Drive('D', "/mnt/odd", "ODD", 7),
          zr::test::Drive('E', "", "", mWinAPI::kDriveOptical, false)},
         {"MYPC|MYPC|mycomputer", "Parent1|SYS (C:)|drvfixed", "Parent3| (E:)|drvcd"},
         "CDE"},
        {"no drives", "MYPC", {}, {"MYPC|MYPC|mycomputer"}, ""},
        {"no machine name",
         "",
         mWinAPI::LetterDrives({}),
         {"localhost|localhost|mycomputer", "Parent1| (C:)|drvfixed"},
         "C"},
    };
    for (const auto& row : table) {
        mVariables::SetComputerName(row.machine);
        TreeView tree{nullptr};
        cDrives drives([&row] { return row.drives; });
        drives.subLoadTreeView(tree);
        EXPECT_EQ(Nodes(tree), row.nodes) << row.what;
        EXPECT_EQ(drives.GetDriveLetters(), row.letters) << row.what;
        const zr::ui::Node* root = tree.Nodes().Item(1);
        ASSERT_NE(root, nullptr) << row.what;
        EXPECT_EQ(root->Parent(), nullptr) << row.what;
        EXPECT_EQ(root->SelectedImage(), "mycomputer") << row.what;
        EXPECT_FALSE(root->Expanded()) << row.what;
        for (int i = 2; i <= tree.Nodes().Count(); ++i) {
            EXPECT_EQ(tree.Nodes().Item(i)->Parent(), root) << row.what;
            EXPECT_TRUE(tree.Nodes().Item(i)->SelectedImage().isEmpty()) << row.what;
        }
    }
    mVariables::ResetToStartValues();
}

} // namespace
