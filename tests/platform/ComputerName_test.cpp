#include "mWinAPI.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(GetComputerNameA, GivesTheHostName) {
    char host[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    char buffer[255];
    std::uint32_t size = sizeof buffer;
    ASSERT_TRUE(mWinAPI::GetComputerNameA(buffer, &size));
    const std::string expected = host[0] != '\0' ? host : "localhost";
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(size, expected.size());
}

TEST(GetComputerNameA, CutsToTheBufferAndRefusesNoBuffer) {
    char buffer[3] = {'x', 'x', 'x'};
    std::uint32_t size = sizeof buffer;
    ASSERT_TRUE(mWinAPI::GetComputerNameA(buffer, &size));
    EXPECT_LE(size, 2u);
    EXPECT_EQ(buffer[size], '\0');
    size = 0;
    EXPECT_FALSE(mWinAPI::GetComputerNameA(buffer, &size));
    EXPECT_FALSE(mWinAPI::GetComputerNameA(nullptr, &size));
    EXPECT_FALSE(mWinAPI::GetComputerNameA(buffer, nullptr));
}

} // namespace
