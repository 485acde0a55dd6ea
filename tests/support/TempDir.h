#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything in it
// by the destructor, at any depth and whatever the modes below it. Header-only and free of Qt,
// so the lowest libraries' tests use it too; built with Qt, it also speaks QString.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#ifdef QT_CORE_LIB
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#endif

namespace zr::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zr-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
        EXPECT_FALSE(path_.empty()) << "no temporary folder: " << std::strerror(errno);
    }
    ~TempDir() {
        if (path_.empty())
            return;
        const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            RemoveBelow(fd);
            ::close(fd);
        }
        ::rmdir(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

    // Folders of 200-byte names, one inside the other, until this folder's path and theirs are
    // at least minLength bytes, with the file `name` holding `bytes` at the bottom: a path longer
    // than one system call may name, so each level is made relative to the one above. Returns
    // the file's path below path(); `made` gets its status (device and inode).
    std::string DeepFile(std::size_t minLength, const std::string& name, std::string_view bytes,
                         struct stat* made = nullptr) const {
        const std::string folder(200, 'd');
        std::string relative;
        int dir = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        while (dir >= 0 && path_.string().size() + relative.size() + 1 + name.size() < minLength) {
            EXPECT_EQ(::mkdirat(dir, folder.c_str(), 0755), 0) << std::strerror(errno);
            const int next = ::openat(dir, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            ::close(dir);
            dir = next;
            relative += folder + "/";
        }
        EXPECT_GE(dir, 0) << std::strerror(errno);
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        if (made) {
            EXPECT_EQ(::fstat(fd, made), 0);
        }
        ::close(fd);
        ::close(dir);
        return relative + name;
    }

#ifdef QT_CORE_LIB
    [[nodiscard]] QString Path(const QString& relative = {}) const {
        const QString root = QString::fromStdString(path_.string());
        return relative.isEmpty() ? root : root + '/' + relative;
    }
    void Folder(const QString& relative) const {
        EXPECT_TRUE(QDir().mkpath(Path(relative)));
    }
    // A file of the given size (sparse, so big sizes cost nothing).
    void File(const QString& relative, qint64 size = 0) const {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
        ASSERT_TRUE(file.resize(size));
    }
    void Write(const QString& relative, const QByteArray& bytes) const {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
#endif

private:
    // Everything inside the open folder `dir`, by names relative to it (no path grows long).
    static void RemoveBelow(int dir) {
        DIR* listing = ::fdopendir(::dup(dir));
        if (!listing)
            return;
        while (const dirent* entry = ::readdir(listing)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
                ::unlinkat(dir, name, 0) == 0)
                continue;
            // A folder, perhaps one a test made unreadable.
            ::fchmodat(dir, name, 0700, 0);
            const int sub = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                RemoveBelow(sub);
                ::close(sub);
            }
            ::unlinkat(dir, name, AT_REMOVEDIR);
        }
        ::closedir(listing);
    }

    std::filesystem::path path_;
};

} // namespace zr::test
