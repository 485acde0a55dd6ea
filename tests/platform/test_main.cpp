#include "DriveTable.h"
#include "HungMount.h"
#include "mWinAPI.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

// Mounts made by the tests stay inside this process; Qt's objects belong to an application, as
// in the program. "--search-and-exit FOLDER" searches FOLDER as drive D:, says whether it found
// anything, and ends (the exit test runs it so).
int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--search-and-exit") == 0) {
        mWinAPI::SetDriveFolders({{'D', argv[2]}});
        mWinAPI::WIN32_FIND_DATA found;
        const mWinAPI::ScopedFindHandle search(mWinAPI::FindFirstFileA("D:\\*.*", &found));
        std::printf("%s\n", search.valid() ? "found" : "gave up");
        return 0;
    }
    zr::test::EnterPrivateMounts();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
