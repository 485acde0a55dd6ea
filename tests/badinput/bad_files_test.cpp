// Broken and oddly named files taken the way a user takes them: the browser lists the current
// folder, Select All, Open Files, Play; the real media service plays them. Whatever the files
// hold, every row ends, the next one plays, and the player comes to rest.

#include "BadInputSupport.h"

#include "mVariables.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace zr::badinput;

class BadFiles : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override {
        zr::SystemMediaEndpoint().SendString("close all", nullptr, 0);
        mVariables::ResetToStartValues();
    }

    // Presses Play and waits (bounded) until every row has played and the player rests.
    void PlayThrough(int timeoutMs) {
        ClickButton(window, 1);
        EXPECT_TRUE(WaitUntil([&] { return Stopped(window) && EveryRowPlayed(window); }, timeoutMs))
            << "still on \"" << window.lblArtistA.Caption().toStdString() << "\"";
    }

    CurrentFolder folder;
    ObservedService media;
    zr::ui::frmMain window;
};

TEST_F(BadFiles, EachBrokenRowEndsAndTheNextOnePlays) {
    folder.Write(QStringLiteral("a zero.mp3"), {});
    folder.Write(QStringLiteral("b truncated.mp3"), Fixture("truncated_half.mp3"));
    folder.Write(QStringLiteral("c random.mp3"), Fixture("random.mp3"));
    folder.Write(QStringLiteral("d text.mp3"), Fixture("text.mp3"));
    folder.Write(QStringLiteral("e id3 only.mp3"), Fixture("id3_only.mp3"));
    {
        // 2 GiB and a little more of nothing, without using the disk.
        QFile huge(folder.Path(QStringLiteral("f huge.mp3")));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize((qint64(1) << 31) + 4096));
    }
    ASSERT_EQ(mkfifo(folder.Path(QStringLiteral("g pipe.mp3")).toLocal8Bit().constData(), 0644), 0);
    folder.Write(QStringLiteral("h gone.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    folder.Write(QStringLiteral("z good.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    const QStringList names{"a zero.mp3", "b truncated.mp3", "c random.mp3",
                            "d text.mp3", "e id3 only.mp3",  "f huge.mp3",
                            "g pipe.mp3", "h gone.mp3",      "z good.mp3"};

    EXPECT_EQ(AddCurrentFolder(window), names);
    ASSERT_EQ(PlaylistNames(window), names);
    // Gone between choosing it and playing it.
    ASSERT_TRUE(QFile::remove(folder.Path(QStringLiteral("h gone.mp3"))));
    PlayThrough(40000);

    // Every row was tried once, in order; only the files holding audio opened. A bad file is
    // refused by "open" itself, or (on a machine slow enough that it is still opening when "open"
    // answers) by the length query that Play sends next.
    const auto opens = media.Opens();
    ASSERT_EQ(opens.size(), std::size_t(names.size()));
    std::vector<int> lengthResults;
    for (const auto& call : media.Calls()) {
        if (call.command.rfind("open ", 0) == 0)
            lengthResults.push_back(-1);
        else if (call.command == "status mp3 length" && !lengthResults.empty())
            lengthResults.back() = call.result;
    }
    ASSERT_EQ(lengthResults.size(), opens.size());
    for (std::size_t i = 0; i < opens.size(); ++i) {
        // A file that is gone has no short path: the open names no file at all.
        EXPECT_EQ(opens[i].first, names[int(i)] == "h gone.mp3" ? QString() : names[int(i)]);
        const bool playable = names[int(i)] == "b truncated.mp3" || names[int(i)] == "z good.mp3";
        EXPECT_EQ(opens[i].second == 0 && lengthResults[i] == 0, playable)
            << names[int(i)].toStdString();
    }
    EXPECT_EQ(DeviceMode(), QString()) << "a device is still open";
}

TEST_F(BadFiles, NamesWithBlanksQuotesCommandWordsAndUtf8PlayAndBackslashesAreLeftOut) {
    const QByteArray tone = Fixture("tone_300ms_cbr_44100_stereo.mp3");
    // In the browser's (sorted) order.
    const QStringList names{
        QStringLiteral("alias.mp3"),
        QStringLiteral("my song.mp3"),
        QStringLiteral("say \"hi\".mp3"),
        QStringLiteral("type.mp3"),
        QStringLiteral("x type MPEGVideo alias y.mp3"),
        QStringLiteral("Ünïcödé ♪ 歌.mp3"),
        // Percent-encoded, its one-word path is longer than a 260-byte path buffer.
        QStringLiteral(
            "日本語の歌のタイトルはとても長いです日本語の歌のタイトルはとても長いです.mp3"),
    };
    for (const QString& name : names)
        folder.Write(name, tone);
    folder.Write(QStringLiteral("back\\slash.mp3"), tone);

    EXPECT_EQ(AddCurrentFolder(window), names);
    ASSERT_EQ(PlaylistNames(window), names);
    PlayThrough(30000);

    const auto opens = media.Opens();
    ASSERT_EQ(opens.size(), std::size_t(names.size()));
    for (std::size_t i = 0; i < opens.size(); ++i) {
        EXPECT_EQ(opens[i].first, names[int(i)]);
        EXPECT_EQ(opens[i].second, 0) << names[int(i)].toStdString();
    }
    // Each open was followed by a length that the service read from that very file.
    int lengths = 0;
    for (const auto& call : media.Calls()) {
        if (call.command == "status mp3 length") {
            ++lengths;
            EXPECT_EQ(call.result, 0);
            EXPECT_GT(std::stoi(call.reply.empty() ? "0" : call.reply), 0);
        }
    }
    EXPECT_EQ(lengths, names.size());
}

TEST_F(BadFiles, AFileDeletedOrTruncatedWhileItPlaysEndsAndTheNextOnePlays) {
    const QByteArray three = Fixture("tone_3s_cbr_44100_stereo.mp3");
    folder.Write(QStringLiteral("a deleted.mp3"), three);
    folder.Write(QStringLiteral("b truncated.mp3"), three);
    folder.Write(QStringLiteral("c last.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    AddCurrentFolder(window);
    ASSERT_EQ(window.lstFiles.ListItems().Count(), 3);

    ClickButton(window, 1);
    ASSERT_TRUE(WaitUntil([] { return DeviceMode() == QStringLiteral("playing"); }, 5000));
    QTest::qWait(300);
    ASSERT_TRUE(QFile::remove(folder.Path(QStringLiteral("a deleted.mp3"))));

    ASSERT_TRUE(WaitUntil(
        [&] { return window.lblArtistA.Caption() == QStringLiteral("(02) b truncated.mp3"); },
        10000));
    QTest::qWait(300);
    {
        QFile cut(folder.Path(QStringLiteral("b truncated.mp3")));
        ASSERT_TRUE(cut.open(QIODevice::ReadWrite));
        ASSERT_TRUE(cut.resize(0));
    }
    EXPECT_TRUE(WaitUntil([&] { return Stopped(window) && EveryRowPlayed(window); }, 15000))
        << "still on \"" << window.lblArtistA.Caption().toStdString() << "\"";
    const auto opens = media.Opens();
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[2].first, QStringLiteral("c last.mp3"));
    EXPECT_EQ(opens[2].second, 0);
}

} // namespace
