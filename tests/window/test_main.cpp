#include <QApplication>

#include <gtest/gtest.h>

// The player window tests need a widget application; the test setup runs Qt offscreen.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
