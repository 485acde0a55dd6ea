#include <QApplication>

#include <gtest/gtest.h>

// The browser's tests need a widget application; Qt runs offscreen under the test setup.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
