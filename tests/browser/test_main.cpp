#include "HungMount.h"

#include <QApplication>

#include <gtest/gtest.h>

// The browser's tests need a widget application; Qt runs offscreen under the test setup. Mounts
// made by the tests (a hung file system among them) stay inside this process.
int main(int argc, char** argv) {
    zr::test::EnterPrivateMounts();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
