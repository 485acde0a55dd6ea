#include "DriveDFolder.h"
#include "DriveTable.h"
#include "HungMount.h"
#include "ThreadCount.h"
#include "mWinAPI.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using mWinAPI::INVALID_HANDLE_VALUE;
using mWinAPI::WIN32_FIND_DATA;

struct Found {
    std::uint32_t attributes;
    std::uint64_t size;
};

// Runs a whole search the way the program does and returns the entries in order.
std::vector<std::pair<std::string, Found>> Search(const std::string& pattern) {
    std::vector<std::pair<std::string, Found>> found;
    WIN32_FIND_DATA data;
    mWinAPI::ScopedFindHandle handle(mWinAPI::FindFirstFileA(pattern.c_str(), &data));
    if (!handle.valid()) {
        EXPECT_EQ(data.dwFileAttributes, 0u);
        EXPECT_EQ(data.cFileName[0], '\0');
        return found;
    }
    do {
        found.emplace_back(data.cFileName, Found{data.dwFileAttributes, data.FileSize()});
    } while (mWinAPI::FindNextFileA(handle.get(), &data));
    EXPECT_EQ(data.cFileName[0], '\0'); // the record is zeroed once the search runs out
    return found;
}

std::vector<std::string> Names(const std::vector<std::pair<std::string, Found>>& found) {
    std::vector<std::string> names;
    for (const auto& entry : found) {
        names.push_back(entry.first);
    }
    return names;
}

class FileSearch : public DriveDFolder {
protected:
    void Touch(const QString& name, qint64 size = 0) { dir.File(name, size); }
    void Folder(const QString& name) { dir.Folder(name); }
};

TEST_F(FileSearch, DotEntriesComeFirstThenNamesInOrder) {
    Folder("b");
    Folder("A");
    Touch("c.mp3");
    Touch("README");
    const auto found = Search("D:\\*.*");
    EXPECT_EQ(Names(found), (std::vector<std::string>{".", "..", "A", "b", "c.mp3", "README"}));
    EXPECT_EQ(found[0].second.attributes & 0x10u, 0x10u);
    EXPECT_EQ(found[1].second.attributes & 0x10u, 0x10u);
    EXPECT_EQ(Names(Search("D:\\*")), Names(found)); // "*" and "*.*" both match every name
}

TEST_F(FileSearch, AttributeWords) {
    Folder("plain");
    Folder(".hidden");
    Touch("song.mp3", 1234);
    Touch(".secret.mp3");
    Touch("locked.mp3", 5);
    ASSERT_EQ(chmod(dir.Path("locked.mp3").toLocal8Bit().constData(), 0444), 0);
    ASSERT_EQ(symlink("plain", dir.Path("linkdir").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("song.mp3", dir.Path("linkfile.mp3").toLocal8Bit().constData()), 0);

    std::map<std::string, Found> byName;
    for (const auto& [name, found] : Search("D:\\*.*")) {
        byName[name] = found;
    }
    EXPECT_EQ(byName["plain"].attributes, 0x10u); // exactly, so the tree shows it normally
    EXPECT_EQ(byName[".hidden"].attributes, 0x12u);
    EXPECT_EQ(byName["song.mp3"].attributes & 0x10u, 0u);
    EXPECT_EQ(byName["song.mp3"].size, 1234u);
    EXPECT_EQ(byName[".secret.mp3"].attributes & 0x02u, 0x02u);
    EXPECT_EQ(byName["linkdir"].attributes, 0x410u);
    EXPECT_EQ(byName["linkfile.mp3"].attributes & 0x410u, 0x400u);
    EXPECT_EQ(byName["linkfile.mp3"].size, 1234u);
    if (geteuid() != 0) { // root may write anything, so nothing is read-only to it
        EXPECT_EQ(byName["locked.mp3"].attributes & 0x01u, 0x01u);
    }
    EXPECT_EQ(byName["song.mp3"].attributes & 0x01u, 0u);
}

TEST_F(FileSearch, PatternsAreCaseInsensitive) {
    Touch("one.mp3");
    Touch("TWO.MP3");
    Touch("Three.Mp3");
    Touch("four.mp3.txt");
    Touch("fivemp3");
    Touch("noext");
    Touch(QString::fromUtf8("ÄRGER.MP3"));
    Folder("folder.mp3");
    EXPECT_EQ(Names(Search("D:\\*.mp3")),
              (std::vector<std::string>{"folder.mp3", "one.mp3", "Three.Mp3", "TWO.MP3",
                                        "\xC3\x84RGER.MP3"}));
    EXPECT_EQ(Names(Search("D:\\t*.MP?")), (std::vector<std::string>{"Three.Mp3", "TWO.MP3"}));
    const auto all = Names(Search("D:\\*.*"));
    EXPECT_NE(std::find(all.begin(), all.end(), "noext"), all.end()); // no dot, still matched
    EXPECT_NE(std::find(all.begin(), all.end(), "fivemp3"), all.end());
}

TEST_F(FileSearch, SparseFileReportsItsFullSize) {
    const std::string path = root + "/big.mp3";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    constexpr std::uint64_t kSize = 3ull << 30; // 3 GiB, beyond 32 bits' signed range
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kSize)), 0);
    close(fd);

    WIN32_FIND_DATA data;
    mWinAPI::ScopedFindHandle handle(mWinAPI::FindFirstFileA("D:\\big.mp3", &data));
    ASSERT_TRUE(handle.valid());
    EXPECT_EQ(data.FileSize(), kSize);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 0xC0000000u);
    EXPECT_STREQ(data.cFileName, "big.mp3");
}

TEST_F(FileSearch, SubfoldersAndRelativeSearches) {
    Folder("Music/Rock");
    Touch("Music/Rock/x.mp3");
    Touch("Music/y.mp3");
    EXPECT_EQ(Names(Search("D:\\Music\\Rock\\*.mp3")), std::vector<std::string>{"x.mp3"});
    EXPECT_EQ(Names(Search("D:Music\\*.mp3")), std::vector<std::string>{"y.mp3"});

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.Path("Music")));
    const auto here = Names(Search("*.mp3"));
    const auto below = Names(Search("Rock\\*.*"));
    QDir::setCurrent(previous);
    EXPECT_EQ(here, std::vector<std::string>{"y.mp3"});
    EXPECT_EQ(below, (std::vector<std::string>{".", "..", "x.mp3"}));
}

TEST_F(FileSearch, AShareThatDoesNotAnswerIsGivenUpAndLeftOutOfTheFolderHoldingIt) {
    Folder("Music");
    Folder("share");
    Folder("Video");
    Touch("x.mp3");
    zr::test::HungMount share;
    const std::string why = share.Mount(dir.Path("share"));
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    // The folder holding the hung share is listed without it; the share lists nothing.
    EXPECT_EQ(Names(Search("D:\\*.*")),
              (std::vector<std::string>{".", "..", "Music", "Video", "x.mp3"}));
    EXPECT_TRUE(Search("D:\\share\\*.*").empty());
    EXPECT_EQ(Names(Search("D:\\*.mp3")), std::vector<std::string>{"x.mp3"});

    // One thread at most stays stuck there: later searches give up without asking it again.
    const std::size_t threads = zr::test::ThreadCount();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Search("D:\\share\\*.*").empty());
        EXPECT_TRUE(Search("D:\\share\\deeper\\*.mp3").empty());
        EXPECT_EQ(Names(Search("D:\\*.*")).size(), 5u);
    }
    EXPECT_LE(zr::test::ThreadCount(), threads);
    EXPECT_FALSE(share.ReleasedByWatchdog());
}

TEST_F(FileSearch, AWorkerLeftBehindOnAShareNeverHoldsUpTheExit) {
    zr::test::HungMount share;
    if (const std::string why = share.Mount(dir.Path()); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // This binary searches the share as a program of its own, which ends while its worker is
    // stuck there; `timeout` ends it otherwise. (No leak check: it would wait to stop that
    // worker.)
    const std::string self = QFile::symLinkTarget("/proc/self/exe").toStdString();
    FILE* child = popen(
        ("ASAN_OPTIONS=detect_leaks=0 timeout 30 '" + self + "' --search-and-exit '" + root + "'")
            .c_str(),
        "r");
    ASSERT_NE(child, nullptr);
    char said[64] = {};
    EXPECT_NE(fgets(said, sizeof said, child), nullptr);
    EXPECT_EQ(pclose(child), 0) << "124: still running 30 s later";
    EXPECT_STREQ(said, "gave up\n");
    EXPECT_FALSE(share.ReleasedByWatchdog());
}

TEST_F(FileSearch, NamesTheProgramCannotExpressAreLeftOut) {
    Touch("back\\slash.mp3");
    Touch("ok.mp3");
    EXPECT_EQ(Names(Search("D:\\*.mp3")), std::vector<std::string>{"ok.mp3"});
}

TEST_F(FileSearch, NothingToFind) {
    Folder("empty");
    EXPECT_EQ(Names(Search("D:\\empty\\*.mp3")), std::vector<std::string>{});
    EXPECT_EQ(Names(Search("D:\\empty\\*.*")), (std::vector<std::string>{".", ".."}));
    EXPECT_TRUE(Search("D:\\missing\\*.*").empty());
    EXPECT_TRUE(Search("Q:\\*.*").empty());
    EXPECT_TRUE(Search("D:\\empty\\").empty());
    EXPECT_TRUE(Search("").empty());

    WIN32_FIND_DATA data;
    data.dwFileAttributes = 0xFFFF;
    EXPECT_EQ(mWinAPI::FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, 0u);
    EXPECT_EQ(mWinAPI::FindFirstFileA("D:\\*.*", nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(FileSearch, HandlesAreAlwaysClosable) {
    Touch("a.mp3");
    WIN32_FIND_DATA data;
    const auto handle = mWinAPI::FindFirstFileA("D:\\*.mp3", &data);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const auto second = mWinAPI::FindFirstFileA("D:\\*.mp3", &data);
    EXPECT_NE(second, handle);
    EXPECT_TRUE(mWinAPI::FindClose(handle));
    EXPECT_FALSE(mWinAPI::FindClose(handle)); // twice is harmless
    EXPECT_FALSE(mWinAPI::FindNextFileA(handle, &data));
    EXPECT_TRUE(mWinAPI::FindClose(second));
    EXPECT_FALSE(mWinAPI::FindClose(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(mWinAPI::FindClose(0));
    EXPECT_FALSE(mWinAPI::FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_FALSE(mWinAPI::FindNextFileA(12345, nullptr));

    // A search read to its end keeps failing politely until closed.
    mWinAPI::ScopedFindHandle scoped(mWinAPI::FindFirstFileA("D:\\a.mp3", &data));
    ASSERT_TRUE(scoped.valid());
    EXPECT_FALSE(mWinAPI::FindNextFileA(scoped.get(), &data));
    EXPECT_FALSE(mWinAPI::FindNextFileA(scoped.get(), &data));
    mWinAPI::ScopedFindHandle moved(std::move(scoped));
    EXPECT_FALSE(scoped.valid());
    EXPECT_TRUE(moved.valid());
}

TEST_F(FileSearch, TheFolderIsReadOnceAtTheFirstCall) {
    Touch("a.mp3");
    WIN32_FIND_DATA data;
    mWinAPI::ScopedFindHandle handle(mWinAPI::FindFirstFileA("D:\\*.mp3", &data));
    ASSERT_TRUE(handle.valid());
    Touch("b.mp3");
    QFile::remove(dir.Path("a.mp3"));
    EXPECT_STREQ(data.cFileName, "a.mp3");
    EXPECT_FALSE(mWinAPI::FindNextFileA(handle.get(), &data));
}

} // namespace
