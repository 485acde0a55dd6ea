#include "HungMount.h"

#include <gtest/gtest.h>

// Mounts made by the tests (a hung file system among them) stay inside this process.
int main(int argc, char** argv) {
    zr::test::EnterPrivateMounts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
