#include "DriveTable.h"
#include "mWinAPI.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class GetShortPathNameA : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root; // the temporary folder without symbolic links

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = QDir(dir.path()).canonicalPath();
    }
    void MakeFile(const QString& name) {
        QFile file(root + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // Calls with a 260-byte buffer prefilled with 'x', returns {result, text}.
    static std::pair<unsigned, std::string> Short(const std::string& path, unsigned size = 260) {
        std::string buffer(size + 8, 'x');
        const unsigned n = mWinAPI::GetShortPathNameA(path.c_str(), buffer.data(), size);
        EXPECT_EQ(buffer.substr(size), std::string(8, 'x')) << "wrote past the length";
        return {n, std::string(buffer.c_str())};
    }
    static QString Decode(const std::string& uri) {
        return QUrl::fromEncoded(QByteArray::fromStdString(uri), QUrl::StrictMode).toLocalFile();
    }
};

// One word (a file:// URI without blanks, quotes or backslashes) that names the real file, from
// any form of its path; nothing for what is not an existing file.
TEST_F(GetShortPathNameA, NamesTheRealFileInOneWordOrGivesNothing) {
    ASSERT_TRUE(QDir(root).mkpath("Music/Rock"));
    MakeFile("Music/Rock/a b.mp3");
    MakeFile("real.mp3");
    ASSERT_TRUE(QFile::link(root + "/real.mp3", root + "/link.mp3"));
    ASSERT_TRUE(QFile::link(root + "/gone.mp3", root + "/dangling.mp3"));
    const QString awkward[] = {
        "My Song.mp3",     "say \"hi\".mp3",   "track type MPEGVideo.mp3",
        "alias mp3 x.mp3", "100% sure#1?.mp3", QString::fromUtf8("Ærø ♫ 日本.mp3"),
        "tab\there.mp3",   "new\nline.mp3"};
    std::vector<std::pair<std::string, QString>> table = {
        {"D:\\Music\\Rock\\a b.mp3", root + "/Music/Rock/a b.mp3"},
        {"Rock\\a b.mp3", root + "/Music/Rock/a b.mp3"}, // relative to the current folder
        {(root + "/link.mp3").toStdString(), root + "/real.mp3"},
        {(root + "/dangling.mp3").toStdString(), {}},
        {(root + "/nothing.mp3").toStdString(), {}},
        {"", {}},
        {"Q:\\no\\drive.mp3", {}},
    };
    for (const QString& name : awkward) {
        MakeFile(name);
        table.emplace_back((root + "/" + name).toStdString(), root + "/" + name);
    }
    mWinAPI::ScopedDriveFolders drives({{'D', root.toStdString()}});
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root + "/Music"));
    for (const auto& [path, file] : table) {
        const auto [n, text] = Short(path);
        EXPECT_EQ(n, text.size()) << path;
        if (file.isEmpty()) {
            EXPECT_EQ(text, "") << path;
            continue;
        }
        EXPECT_EQ(text.rfind("file:///", 0), 0u) << text;
        EXPECT_EQ(text.find_first_of(" \"\t\n'\\"), std::string::npos) << text;
        EXPECT_EQ(Decode(text), file) << text;
    }
    QDir::setCurrent(previous);
}

TEST_F(GetShortPathNameA, TooSmallBufferAsksForTheNeededSize) {
    MakeFile("song.mp3");
    const std::string path = (root + "/song.mp3").toStdString();
    const auto [n, full] = Short(path);
    ASSERT_GT(n, 0u);
    const auto exact = Short(path, n + 1); // the text and its NUL just fit
    EXPECT_EQ(exact.second, full);
    const auto tooSmall = Short(path, n); // one byte short
    EXPECT_EQ(tooSmall.first, n + 1);
    EXPECT_EQ(tooSmall.second, "");
    EXPECT_EQ(mWinAPI::GetShortPathNameA(path.c_str(), nullptr, 0), n + 1);
    char untouched = 'x'; // no path: nothing, and an empty text
    EXPECT_EQ(mWinAPI::GetShortPathNameA(nullptr, &untouched, 1), 0u);
    EXPECT_EQ(untouched, '\0');
}

} // namespace
