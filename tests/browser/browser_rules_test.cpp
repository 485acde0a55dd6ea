#include "cDrives.h"
#include "mExplorerTree.h"
#include "mFileList.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using zr::ui::mExplorerTree::NodeToFolderPath;

TEST(NodeToFolderPath, NormalNamesGiveTheDriveAndFolders) {
    EXPECT_EQ(NodeToFolderPath("MYPC\\DATA (D:)"), "D:\\");
    EXPECT_EQ(NodeToFolderPath("MYPC\\DATA (D:)\\Music\\Rock"), "D:\\Music\\Rock\\");
    EXPECT_EQ(NodeToFolderPath("MYPC"), "");
    EXPECT_EQ(NodeToFolderPath("MYPC\\ (A:)"), "A:\\");
    EXPECT_EQ(NodeToFolderPath("MYPC\\ (C:)\\Users"), "C:\\Users\\");
}

TEST(NodeToFolderPath, ParenthesesInAnyNameDoNoHarm) {
    // In folder names.
    EXPECT_EQ(NodeToFolderPath("MYPC\\DATA (D:)\\Best (Live)\\Disc (1)"),
              "D:\\Best (Live)\\Disc (1)\\");
    // A folder that looks like a drive label below the real one.
    EXPECT_EQ(NodeToFolderPath("MYPC\\DATA (D:)\\Backup (E:)"), "D:\\Backup (E:)\\");
    // In the volume name.
    EXPECT_EQ(NodeToFolderPath("MYPC\\My (old) disk (E:)\\Music"), "E:\\Music\\");
    EXPECT_EQ(NodeToFolderPath("MYPC\\)( (F:)"), "F:\\");
    // In the machine name, also one that ends like a drive label.
    EXPECT_EQ(NodeToFolderPath("box (2)\\DATA (D:)\\x"), "D:\\x\\");
    EXPECT_EQ(NodeToFolderPath("host (Z:)\\DATA (D:)"), "D:\\");
    EXPECT_EQ(NodeToFolderPath("host (Z:)"), "");
}

TEST(FileSizeText, GroupsWithTheLocaleAndKeepsAll64Bits) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(0), "0");
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(999), "999");
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(1000000), "1,000,000");
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(2147483648ull), "2,147,483,648");
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(4294967296ull + 5), "4,294,967,301");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(1000000), "1.000.000");
    // The C locale has no grouping of its own; the list groups all the same.
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(zr::ui::mFileList::FileSizeText(1234567), "1,234,567");
    QLocale::setDefault(previous);
}

TEST(DriveNodeTexts, LabelsImagesAndTheRootName) {
    mWinAPI::DriveInfo d;
    d.letter = 'D';
    d.volumeName = "DATA";
    EXPECT_EQ(zr::ui::DriveLabel(d), "DATA (D:)");
    d.volumeName.clear();
    EXPECT_EQ(zr::ui::DriveLabel(d), " (D:)");
    d.volumeName = "ignored";
    d.ready = false;
    EXPECT_EQ(zr::ui::DriveLabel(d), " (D:)");

    const char* keys[] = {"drvunknown", "drvremove", "drvfixed", "drvremote", "drvcd", "drvmemory"};
    for (int type = 0; type <= 5; ++type) {
        EXPECT_EQ(zr::ui::DriveImageKey(type), keys[type]);
    }
    EXPECT_TRUE(zr::ui::DriveImageKey(6).isEmpty());
    EXPECT_TRUE(zr::ui::DriveImageKey(-1).isEmpty());

    EXPECT_EQ(zr::ui::MachineNameOrFallback("MYPC"), "MYPC");
    EXPECT_EQ(zr::ui::MachineNameOrFallback(""), "localhost");
}

} // namespace
