#include <QApplication>

#include <gtest/gtest.h>

// The behaviour tests drive a real player window, so they need a widget application.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
