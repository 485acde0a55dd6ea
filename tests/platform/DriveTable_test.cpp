#include "DriveTable.h"

#include <gtest/gtest.h>

namespace {

using mWinAPI::ScopedDriveFolders;
using mWinAPI::ToLocalPath;

TEST(DriveTable, TranslatesDriveLetterPaths) {
    ScopedDriveFolders drives({{'D', "/mnt/x"}, {'e', "/media/usb/"}});
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Music\\Rock\\", "/mnt/x/Music/Rock/"},
        {"d:\\Music\\a b.mp3", "/mnt/x/Music/a b.mp3"},
        {"D:\\", "/mnt/x/"},
        {"D:", "/mnt/x"},
        {"D:Music", "/mnt/x/Music"},
        {"D:/Music/x", "/mnt/x/Music/x"},
        {"E:\\track.mp3", "/media/usb/track.mp3"},
        {"C:\\", "/"},
        {"C:\\home\\ann\\", "/home/ann/"},
        {"C:", "/"},
        {"\\tmp\\x", "/tmp/x"},
        {"Music\\a.mp3", "Music/a.mp3"},
        {"*.mp3", "*.mp3"},
        {"", ""},
    };
    for (const auto& [program, local] : cases) {
        const auto translated = ToLocalPath(program);
        ASSERT_TRUE(translated.has_value()) << program;
        EXPECT_EQ(*translated, local) << program;
    }
}

TEST(DriveTable, UnknownLettersHaveNoPath) {
    ScopedDriveFolders drives({{'D', "/mnt/x"}});
    EXPECT_FALSE(ToLocalPath("Q:\\Music\\").has_value());
    EXPECT_FALSE(mWinAPI::DriveFolder('q').has_value());
}

TEST(DriveTable, CIsRootUnlessGivenAndGuardsRestore) {
    const auto before = mWinAPI::GetDriveFolders();
    {
        ScopedDriveFolders drives({{'C', "/srv/c"}, {'1', "/bad"}, {'F', ""}});
        EXPECT_EQ(*ToLocalPath("C:\\a"), "/srv/c/a");
        EXPECT_EQ(mWinAPI::GetDriveFolders().size(),
                  1u); // the digit and the empty folder are dropped
        {
            ScopedDriveFolders inner({{'G', "/g"}});
            EXPECT_EQ(*mWinAPI::DriveFolder('C'), "/");
            EXPECT_EQ(*mWinAPI::DriveFolder('g'), "/g");
        }
        EXPECT_EQ(*mWinAPI::DriveFolder('C'), "/srv/c");
        EXPECT_FALSE(mWinAPI::DriveFolder('G').has_value());
    }
    EXPECT_EQ(mWinAPI::GetDriveFolders(), before);
}

} // namespace
