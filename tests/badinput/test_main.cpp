#include "BadInputSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

// The player's windows need a widget application; Qt runs offscreen under the test setup.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    std::optional<zr::badinput::CallTimeLog> timing;
    if (const char* log = std::getenv("ZR_MCI_CALL_LOG"))
        timing.emplace(log);
    return RUN_ALL_TESTS();
}
