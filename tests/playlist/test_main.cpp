#include <QApplication>

#include <gtest/gtest.h>

// The list under test is a widget, so the tests need an application object.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
