#include "BrowserTestSupport.h"

#include "TreeView.h"
#include "cDrives.h"
#include "mVariables.h"

#include <gtest/gtest.h>

namespace {

using mWinAPI::MountEntry;
using zr::ui::cDrives;
using zr::ui::TreeView;

MountEntry Mount(const char* root, const char* device, const char* fs, const char* label = "") {
    MountEntry m;
    m.rootPath = root;
    m.device = device;
    m.fsType = fs;
    m.label = label;
    return m;
}

cDrives FromMounts(std::vector<MountEntry> mounts) {
    return cDrives([mounts] { return mWinAPI::LetterDrives(mounts); });
}

// "key|text|image" of every drive node.
QStringList DriveNodes(TreeView& tree) {
    QStringList out;
    for (int i = 2; i <= tree.Nodes().Count(); ++i) {
        const zr::ui::Node* n = tree.Nodes().Item(i);
        out << n->Key() + "|" + n->Text() + "|" + n->Image();
    }
    return out;
}

class DriveTree : public ::testing::Test {
protected:
    void SetUp() override { mVariables::SetComputerName("MYPC"); }
    void TearDown() override { mVariables::ResetToStartValues(); }
    TreeView tree{nullptr};
};

TEST_F(DriveTree, AMachineWithOnlyCHasTheRootAndOneFixedDrive) {
    FromMounts({Mount("/", "/dev/sda1", "ext4", "SYSTEM")}).subLoadTreeView(tree);
    ASSERT_EQ(tree.Nodes().Count(), 2);
    const zr::ui::Node* root = tree.Nodes().Item(1);
    EXPECT_EQ(root->Key(), "MYPC");
    EXPECT_EQ(root->Text(), "MYPC");
    EXPECT_EQ(root->Image(), "mycomputer");
    EXPECT_EQ(root->SelectedImage(), "mycomputer");
    EXPECT_EQ(root->Parent(), nullptr);
    EXPECT_EQ(DriveNodes(tree), QStringList{"Parent1|SYSTEM (C:)|drvfixed"});
    EXPECT_EQ(tree.Nodes().Item(2)->Parent(), root);
    EXPECT_TRUE(tree.Nodes().Item(2)->SelectedImage().isEmpty());
    EXPECT_FALSE(root->Expanded()); // the window's load step expands it, not this
}

TEST_F(DriveTree, EveryKindOfMountGetsItsIconAndLabel) {
    MountEntry cd;
    cd.device = "/dev/sr0";
    cd.ready = false;
    cDrives drives = FromMounts({
        Mount("/", "/dev/sda1", "ext4"),
        Mount("/media/ann/STICK", "/dev/sdb1", "vfat", "STICK"),
        Mount("/mnt/nas", "nas:/music", "nfs4"),
        cd,
        Mount("/mnt/ram", "tmpfs", "tmpfs", ""),
        Mount("/mnt/pool", "pool", "fuse.mergerfs", "POOL"),
    });
    drives.subLoadTreeView(tree);
    EXPECT_EQ(DriveNodes(tree), (QStringList{
                                    "Parent1| (C:)|drvfixed",
                                    "Parent2|STICK (D:)|drvremove",
                                    "Parent3| (E:)|drvremote",
                                    "Parent4| (F:)|drvcd",
                                    "Parent5| (G:)|drvmemory",
                                    "Parent6|POOL (H:)|drvunknown",
                                }));
    EXPECT_EQ(drives.GetDriveLetters(), "CDEFGH");
}

TEST_F(DriveTree, ADriveOfUnknownTypeIsSkippedAndLeavesAGapInTheKeys) {
    cDrives drives([] {
        return std::vector<mWinAPI::DriveInfo>{
            zr::test::Drive('C', "/", "SYS"),
            zr::test::Drive('D', "/mnt/odd", "ODD", 7),
            zr::test::Drive('E', "", "", mWinAPI::kDriveOptical, false),
        };
    });
    drives.subLoadTreeView(tree);
    EXPECT_EQ(DriveNodes(tree), (QStringList{"Parent1|SYS (C:)|drvfixed", "Parent3| (E:)|drvcd"}));
    EXPECT_EQ(drives.GetDriveLetters(), "CDE");
}

TEST_F(DriveTree, AnEmptyDriveListGivesTheRootAlone) {
    cDrives([] { return std::vector<mWinAPI::DriveInfo>{}; }).subLoadTreeView(tree);
    ASSERT_EQ(tree.Nodes().Count(), 1);
    EXPECT_EQ(tree.Nodes().Item(1)->Text(), "MYPC");
}

TEST_F(DriveTree, AnEmptyMachineNameStillGivesARootWithKeyAndText) {
    mVariables::SetComputerName("");
    FromMounts({}).subLoadTreeView(tree);
    ASSERT_EQ(tree.Nodes().Count(), 2);
    EXPECT_EQ(tree.Nodes().Item(1)->Key(), "localhost");
    EXPECT_EQ(tree.Nodes().Item(1)->Text(), "localhost");
    EXPECT_EQ(tree.Nodes().Item(2)->Parent(), tree.Nodes().Item(1));
}

} // namespace
