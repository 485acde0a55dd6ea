// What the file search and the short path give for files that are awkward to reach: modes
// that decide the read-only bit, names that are not UTF-8, folders nested beyond PATH_MAX.
#include "DriveDFolder.h"
#include "DriveTable.h"
#include "mWinAPI.h"

#include <QUrl>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <vector>

namespace {

// name -> attribute word of every entry a search finds.
std::map<std::string, std::uint32_t> Attributes(const std::string& pattern) {
    std::map<std::string, std::uint32_t> found;
    mWinAPI::WIN32_FIND_DATA data;
    mWinAPI::ScopedFindHandle handle(mWinAPI::FindFirstFileA(pattern.c_str(), &data));
    if (handle.valid()) {
        do {
            found[data.cFileName] = data.dwFileAttributes;
        } while (mWinAPI::FindNextFileA(handle.get(), &data));
    }
    return found;
}

std::string ShortPath(const std::string& path) {
    std::vector<char> buffer(65536, 'x');
    const unsigned n = mWinAPI::GetShortPathNameA(path.c_str(), buffer.data(),
                                                  static_cast<unsigned>(buffer.size()));
    return n > 0 && n < buffer.size() ? std::string(buffer.data(), n) : std::string();
}

class AwkwardFiles : public DriveDFolder {
protected:
    AwkwardFiles() : DriveDFolder(true) {}

    void Make(const std::string& name, mode_t mode, bool folder = false) {
        const std::string path = root + "/" + name;
        if (folder) {
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << name;
        } else {
            const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            ASSERT_GE(fd, 0) << name;
            close(fd);
        }
        ASSERT_EQ(chmod(path.c_str(), mode), 0) << name;
    }
};

// The read-only bit belongs to the file: set exactly when nobody has a write bit, whoever
// asks, and whatever the folder bit; root sees the same attributes as anyone.
TEST_F(AwkwardFiles, ReadOnlyMeansNoWriteBitForAnyone) {
    struct Row {
        const char* name;
        mode_t mode;
        bool folder;
        std::uint32_t attributes;
    };
    const std::vector<Row> table = {
        {"r--r--r--.mp3", 0444, false, 0x01}, {"---------.mp3", 0000, false, 0x01},
        {"r-xr-xr-x.mp3", 0555, false, 0x01}, {"rw-r--r--.mp3", 0644, false, 0x80},
        {"-w-------.mp3", 0200, false, 0x80}, {"r--rw-r--.mp3", 0464, false, 0x80},
        {"r--r--rw-.mp3", 0446, false, 0x80}, {"rwxr-xr-x", 0755, true, 0x10},
        {"r-xr-xr-x", 0555, true, 0x11},      {"rwx------", 0700, true, 0x10},
        {"r-x---rwx", 0507, true, 0x10},      {".hidden-ro", 0555, true, 0x13},
    };
    for (const Row& row : table) {
        Make(row.name, row.mode, row.folder);
    }
    ASSERT_EQ(chmod(root.c_str(), 0755), 0); // so that another user may list it

    const auto check = [&](const std::map<std::string, std::uint32_t>& found) {
        int wrong = 0;
        for (const Row& row : table) {
            const auto it = found.find(row.name);
            if (it == found.end() || it->second != row.attributes) {
                ++wrong;
            }
        }
        return wrong;
    };
    const auto found = Attributes("D:\\*.*");
    for (const Row& row : table) {
        EXPECT_EQ(found.count(row.name) ? found.at(row.name) : 0xFFFFu, row.attributes) << row.name;
    }

    if (geteuid() != 0) {
        GTEST_SKIP() << "cannot switch to another user to compare";
    }
    // The same search as an unprivileged user, who may write to none of these files.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool switched = setresgid(65534, 65534, 65534) == 0 && setgroups(0, nullptr) == 0 &&
                              setresuid(65534, 65534, 65534) == 0;
        _exit(!switched ? 2 : check(Attributes("D:\\*.*")) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: other attributes as another user; 2: no switch";
}

// A name in Latin-1 is listed by its bytes, matched and ordered among the others, and its
// short path carries the same bytes, percent-encoded.
TEST_F(AwkwardFiles, NamesThatAreNotUtf8KeepTheirBytes) {
    const std::string latin1 = "caf\xE9.mp3";
    const std::string broken = "z\xC3(\xFF.MP3"; // a cut sequence and a byte UTF-8 never has
    for (const std::string& name :
         {latin1, broken, std::string("cafe.mp3"), std::string("Cafz.mp3")}) {
        Make(name, 0644);
    }
    std::vector<std::string> names;
    for (const auto& [name, attributes] : Attributes("D:\\*.mp3")) {
        names.push_back(name);
    }
    EXPECT_EQ(names.size(), 4u);
    EXPECT_NE(std::find(names.begin(), names.end(), latin1), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), broken), names.end());

    const std::string uri = ShortPath("D:\\" + latin1);
    ASSERT_FALSE(uri.empty());
    EXPECT_EQ(uri, "file://" + root + "/caf%E9.mp3");
    EXPECT_EQ(ShortPath("D:\\" + broken).substr(7 + root.size()), "/z%C3%28%FF.MP3");
}

// A folder whose path is longer than PATH_MAX is listed and its file gets a short path.
TEST_F(AwkwardFiles, FoldersBeyondPathMaxAreListedAndGetAShortPath) {
    const std::string relative = std::string("/").append(dir.DeepFile(4500, "deep.mp3", "ID3"));
    const std::string absolute = root + relative;
    ASSERT_GT(absolute.size(), static_cast<std::size_t>(PATH_MAX));

    std::string programPath = "D:" + relative.substr(0, relative.rfind('/'));
    std::replace(programPath.begin(), programPath.end(), '/', '\\');
    const auto found = Attributes(programPath + "\\*.mp3");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->first, "deep.mp3");

    const std::string uri = ShortPath(programPath + "\\deep.mp3");
    ASSERT_FALSE(uri.empty()) << "no short path for a path of " << absolute.size() << " bytes";
    EXPECT_EQ(QUrl::fromEncoded(QByteArray::fromStdString(uri), QUrl::StrictMode)
                  .toLocalFile()
                  .toStdString(),
              absolute);
    EXPECT_TRUE(ShortPath(programPath + "\\missing.mp3").empty());
}

} // namespace
