#include "MediaChannel.h"
#include "RecordingMediaService.h"
#include "TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zr::test::RecordingMediaService;

// Sees the buffers exactly as the service gets them, and answers like the real service.
class BufferProbe : public zr::MediaEndpoint {
public:
    struct Seen {
        std::string command;
        std::string buffer; // replyLength bytes as received (or the text when length is 0)
        unsigned length;
    };
    std::vector<Seen> seen;
    std::string answer;

    int SendString(const char* command, char* reply, unsigned replyLength) override {
        seen.push_back(
            {command, replyLength > 0 ? std::string(reply, replyLength) : reply, replyLength});
        if (replyLength > answer.size()) {
            std::copy(answer.c_str(), answer.c_str() + answer.size() + 1, reply);
        }
        return 0;
    }
};

TEST(MediaChannel, OrdinaryCommandsGetAThrowAwayReply) {
    BufferProbe probe;
    zr::ScopedMediaEndpoint route(probe);
    zr::SendCommand(u"play mp3");
    zr::SendCommand(u"setaudio mp3 volume to 498");
    ASSERT_EQ(probe.seen.size(), 2u);
    EXPECT_EQ(probe.seen[0].command, "play mp3");
    EXPECT_EQ(probe.seen[0].length, 0u);
    EXPECT_EQ(probe.seen[0].buffer, "0");
    EXPECT_EQ(probe.seen[1].command, "setaudio mp3 volume to 498");
}

TEST(MediaChannel, CommandsGoOutAsUtf8) {
    RecordingMediaService::Installed media;
    zr::SendCommand(QString::fromUtf8("open file:///x type MPEGVideo alias mp3 — ♫"));
    EXPECT_EQ(media->commands(),
              std::vector<std::string>{"open file:///x type MPEGVideo alias mp3 \xE2\x80\x94 "
                                       "\xE2\x99\xAB"});
}

TEST(MediaChannel, StatusQueryPassesTheWholeBufferAndCopiesItBack) {
    BufferProbe probe;
    zr::ScopedMediaEndpoint route(probe);
    zr::StatusReply reply;
    EXPECT_EQ(reply.Text(), QString(30, QChar(u'\0')));

    probe.answer = "183456";
    zr::SendStatusQuery(u"status mp3 length", reply);
    ASSERT_EQ(probe.seen.size(), 1u);
    EXPECT_EQ(probe.seen[0].length, 30u);
    EXPECT_EQ(probe.seen[0].buffer, std::string(30, '\0'));

    probe.answer = "4021";
    zr::SendStatusQuery(u"status mp3 position", reply);
    ASSERT_EQ(probe.seen.size(), 2u);
    EXPECT_EQ(probe.seen[1].command, "status mp3 position");
    EXPECT_EQ(probe.seen[1].buffer, std::string("183456") + std::string(24, '\0'));
}

TEST(MediaChannel, ShorterReplyLeavesTheTailOfTheLongerOne) {
    RecordingMediaService::Installed media;
    media->setReply("status mp3 length", "183456");
    media->setReply("status mp3 position", "4021");
    zr::StatusReply reply;

    zr::SendStatusQuery(u"status mp3 length", reply);
    EXPECT_EQ(zr::ToInt32(reply.Value()), 183456);
    EXPECT_EQ(reply.Caption(), "183456");

    zr::SendStatusQuery(u"status mp3 position", reply);
    const QString expected =
        QString("4021") + QChar(u'\0') + QString("6") + QString(24, QChar(u'\0'));
    EXPECT_EQ(reply.Text(), expected);
    EXPECT_EQ(reply.Text().size(), 30);
    EXPECT_EQ(reply.Value(), 4021);
    EXPECT_EQ(reply.Caption(), "4021");
}

TEST(MediaChannel, FailedQueryStillCopiesTheBufferBack) {
    RecordingMediaService::Installed media;
    zr::StatusReply reply;
    media->queueReply("5000");
    zr::SendStatusQuery(u"status mp3 length", reply);
    media->setResult("status mp3 position", 258);
    const int result = zr::SendStatusQuery(u"status mp3 position", reply); // nothing scripted
    EXPECT_EQ(result, 258);
    EXPECT_EQ(reply.Value(), 5000); // what the buffer held before
    EXPECT_EQ(media->commands(),
              (std::vector<std::string>{"status mp3 length", "status mp3 position"}));
}

TEST(MediaChannel, NonAsciiBytesKeepTheBufferAtThirtyCharacters) {
    BufferProbe probe;
    zr::ScopedMediaEndpoint route(probe);
    probe.answer = "\xC3\xA9\xFF"; // not a number, not even UTF-8
    zr::StatusReply reply;
    zr::SendStatusQuery(u"status mp3 position", reply);
    EXPECT_EQ(reply.Text().size(), 30);
    EXPECT_EQ(reply.Value(), 0);
    probe.answer = "12";
    zr::SendStatusQuery(u"status mp3 position", reply);
    EXPECT_EQ(probe.seen[1].buffer.substr(0, 3), "\xC3\xA9\xFF"); // round trip is byte-exact
    EXPECT_EQ(reply.Value(), 12);
}

TEST(MediaChannel, ScopedServicesNestAndRestore) {
    RecordingMediaService outer;
    RecordingMediaService inner;
    zr::MediaEndpoint* before = &zr::CurrentMediaEndpoint();
    {
        zr::ScopedMediaEndpoint a(outer);
        {
            zr::ScopedMediaEndpoint b(inner);
            zr::SendCommand(u"pause mp3");
        }
        zr::SendCommand(u"stop mp3");
    }
    EXPECT_EQ(&zr::CurrentMediaEndpoint(), before);
    EXPECT_EQ(&zr::CurrentMediaEndpoint(), &zr::SystemMediaEndpoint());
    EXPECT_EQ(inner.commands(), std::vector<std::string>{"pause mp3"});
    EXPECT_EQ(outer.commands(), std::vector<std::string>{"stop mp3"});
}

TEST(RecordingService, WritesLikeTheRealService) {
    RecordingMediaService service;
    service.setReply("status mp3 length", "123456789");
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    // Does not fit in 8 bytes: nothing is written and the call fails.
    EXPECT_NE(service.SendString("status mp3 length", buffer, 8), 0);
    EXPECT_EQ(std::string(buffer, 8), "xxxxxxxx");
    service.setReply("status mp3 length", "1234567");
    EXPECT_EQ(service.SendString("status mp3 length", buffer, 8), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("1234567\0", 8));
    // An ordinary command with length 0 never gets text.
    char throwAway[] = "0";
    service.setReply("play mp3", "9");
    EXPECT_EQ(service.SendString("play mp3", throwAway, 0), 0);
    EXPECT_STREQ(throwAway, "0");
    EXPECT_EQ(service.count("status mp3 length"), 2);
}

// Short paths need real files: the platform layer resolves them on disk.
class ShortPathOf : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString MakeFile(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }
    static QString Decode(const QString& uri) {
        return QUrl::fromEncoded(uri.toLatin1(), QUrl::StrictMode).toLocalFile();
    }
};

// The one-word form (no blank, no quote) of names with command words, quotes and characters of
// two and three bytes; 60 two-byte characters become 360 bytes of escapes, more than 260.
TEST_F(ShortPathOf, IsOneWordNamingTheSameFileHoweverLong) {
    ASSERT_TRUE(dir.isValid());
    for (const QString& name : {QString::fromUtf8("say \"hi\" x type y – Für Elise ♫.mp3"),
                                QString(60, QChar(u'ö')) + ".mp3"}) {
        const QString shortPath = zr::ShortPathOf(MakeFile(name));
        EXPECT_TRUE(shortPath.startsWith("file:///")) << shortPath.toStdString();
        EXPECT_FALSE(shortPath.contains(u' ') || shortPath.contains(u'"'))
            << shortPath.toStdString();
        EXPECT_EQ(Decode(shortPath), QDir(dir.path()).canonicalPath() + "/" + name);
    }
}

TEST_F(ShortPathOf, MissingFileGivesEmpty) {
    EXPECT_TRUE(zr::ShortPathOf(dir.filePath("gone.mp3")).isEmpty());
    EXPECT_TRUE(zr::ShortPathOf(u"").isEmpty());
}

} // namespace
