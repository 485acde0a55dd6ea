// Opening at any path length on real nested folders deeper than one call can name.

#include "AnyLengthOpen.h"
#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

namespace zr::fs {
namespace {

// A file below folders nested deeper than one path may name.
class DeepTree : public ::testing::Test {
protected:
    [[nodiscard]] bool IsTheFile(const UniqueFd& fd) const {
        struct stat st {};
        return fd.valid() && ::fstat(fd.get(), &st) == 0 && st.st_ino == made.st_ino &&
               st.st_dev == made.st_dev;
    }

    test::TempDir dir;
    const std::string root = dir.path().string();
    struct stat made {};
    const std::string relative = dir.DeepFile(4500, "deep.mp3", {}, &made); // from root
};

TEST_F(DeepTree, AbsoluteAndRelativeLongPathsOpenTheFileWithCloseOnExec) {
    ASSERT_GT(relative.size(), static_cast<std::size_t>(PATH_MAX));
    const UniqueFd absolute = OpenAtAnyLength(root + "/" + relative, O_RDONLY);
    EXPECT_TRUE(IsTheFile(absolute));
    EXPECT_TRUE(::fcntl(absolute.get(), F_GETFD) & FD_CLOEXEC);

    std::vector<char> cwd(PATH_MAX);
    ASSERT_NE(::getcwd(cwd.data(), cwd.size()), nullptr);
    ASSERT_EQ(::chdir(root.c_str()), 0);
    const UniqueFd fromHere = OpenAtAnyLength(relative, O_RDONLY);
    ASSERT_EQ(::chdir(cwd.data()), 0);
    EXPECT_TRUE(IsTheFile(fromHere));
}

TEST_F(DeepTree, LongPathsFailWithTheReasonOfThePieceThatFails) {
    errno = 0;
    EXPECT_FALSE(OpenAtAnyLength(root + "/" + relative + "x", O_RDONLY).valid());
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_FALSE(OpenAtAnyLength(root + "/" + relative, O_RDONLY | O_DIRECTORY).valid());
    EXPECT_EQ(errno, ENOTDIR);
    // A missing folder at the top, met in the first piece of the walk.
    errno = 0;
    EXPECT_FALSE(OpenAtAnyLength(root + "/missing/" + relative, O_RDONLY).valid());
    EXPECT_EQ(errno, ENOENT);
    // One name longer than a whole path may be: no piece can hold it.
    errno = 0;
    EXPECT_FALSE(OpenAtAnyLength(root + "/" + std::string(PATH_MAX + 10, 'n'), O_RDONLY).valid());
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST(UniqueFd, MovingHandsOverTheDescriptorAndClosesTheOneReplaced) {
    UniqueFd first(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    UniqueFd second(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(first.valid());
    ASSERT_TRUE(second.valid());
    const int kept = first.get();
    const int replaced = second.get();
    second = std::move(first);
    EXPECT_FALSE(first.valid()); // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(second.get(), kept);
    EXPECT_EQ(::fcntl(replaced, F_GETFD), -1);
}

} // namespace
} // namespace zr::fs
