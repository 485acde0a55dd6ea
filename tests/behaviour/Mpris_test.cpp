// The player on a private session bus: a client on its own connection calls the MPRIS2
// methods and reads the properties, and the real window and the real media service show and
// play what the buttons would. Every wait is bounded; the bus dies with the test suite.

#include "BehaviourFixture.h"
#include "MediaChannel.h"
#include "Mpris.h"
#include "PythonHelpers.h"
#include "TextHelpers.h"
#include "Transport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QProcessEnvironment>
#include <QTreeView>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const QString kService = QString::fromLatin1(zr::ui::kMprisServiceName);
const QString kPath = QString::fromLatin1(zr::ui::kMprisObjectPath);
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// What the client heard on the bus.
class Listener : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> changes; // PropertiesChanged of the Player interface
    std::vector<qlonglong> seeks;     // Seeked

public slots:
    void OnChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == kPlayer)
            changes.push_back(changed);
    }
    void OnSeeked(qlonglong position) { seeks.push_back(position); }
};

// The tests' private session bus (tests/support), stopped when the suite ends.
struct PrivateBus {
    zr::test::SessionBus bus;
    [[nodiscard]] QString Address() const { return QString::fromStdString(bus.address()); }
};

class MprisTest : public BehaviourTest {
protected:
    static void SetUpTestSuite() { bus = new PrivateBus; }
    static void TearDownTestSuite() {
        delete bus;
        bus = nullptr;
    }

    void SetUp() override {
        BehaviourTest::SetUp();
        ASSERT_FALSE(bus->Address().isEmpty()) << "no private dbus-daemon";
        const QString id = QString::number(++connections);
        playerName = QStringLiteral("zr-player-") + id;
        clientName = QStringLiteral("zr-client-") + id;
        mpris = std::make_unique<zr::ui::Mpris>(
            *window, QDBusConnection::connectToBus(bus->Address(), playerName));
        ASSERT_EQ(mpris->ServiceName(), kService);
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus->Address(), clientName));
        ASSERT_TRUE(client->isConnected());
        client->connect(QString(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("PropertiesChanged"), &listener,
                        SLOT(OnChanged(QString, QVariantMap, QStringList)));
        client->connect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), &listener,
                        SLOT(OnSeeked(qlonglong)));
    }

    void TearDown() override {
        BehaviourTest::TearDown();
        mpris.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(clientName);
        QDBusConnection::disconnectFromBus(playerName);
    }

    // A call from the client, answered while this thread goes on serving the player.
    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        message.setArguments(args);
        QDBusPendingCall call = client->asyncCall(message, 5000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return call.isFinished(); }, 6000))
            << method.toStdString();
        const QDBusMessage reply = call.reply();
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply;
    }
    void Player(const char* method, const QVariantList& args = {}) {
        Call(kPlayer, QString::fromLatin1(method), args);
    }
    QVariant Get(const QString& interface, const char* property) {
        const QDBusMessage reply =
            Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {interface, QString::fromLatin1(property)});
        if (reply.arguments().isEmpty())
            return {};
        QVariant value = reply.arguments().at(0).value<QDBusVariant>().variant();
        if (value.userType() == qMetaTypeId<QDBusArgument>())
            return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
        return value;
    }
    QVariant Get(const char* property) { return Get(kPlayer, property); }
    QVariantMap Metadata() { return Get("Metadata").toMap(); }
    void Set(const char* property, const QVariant& value) {
        Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {kPlayer, QString::fromLatin1(property), QVariant::fromValue(QDBusVariant(value))});
    }
    // Lets queued announcements go out and reach the client.
    void Settle(int ms = 150) { QTest::qWait(ms); }

    // A desktop client (playerctl, gdbus) run on the private bus while this thread serves the
    // player's side of its calls.
    struct ClientRun {
        int exitCode = -1;
        QString out;
        QString err;
    };
    ClientRun RunClient(const QString& program, const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus->Address());
        process.setProcessEnvironment(env);
        process.start(program, args);
        const bool done =
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
        EXPECT_TRUE(done) << program.toStdString() << " did not finish";
        if (!done) {
            process.kill();
            process.waitForFinished(3000);
        }
        ClientRun run;
        if (process.exitStatus() == QProcess::NormalExit &&
            process.error() != QProcess::FailedToStart)
            run.exitCode = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        run.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        return run;
    }
    ClientRun Playerctl(const QStringList& args) {
        return RunClient(QStringLiteral("playerctl"), QStringList{"-p", "zr_mp3_player"} + args);
    }
    // org.freedesktop.DBus.Properties.Set through gdbus, with a value in GVariant text form.
    ClientRun GdbusSet(const QString& interface, const QString& property, const QString& value) {
        return RunClient(QStringLiteral("gdbus"),
                         {"call", "--session", "--dest", kService, "--object-path", kPath,
                          "--method", "org.freedesktop.DBus.Properties.Set", interface, property,
                          value});
    }

    [[nodiscard]] bool Playing() const { return mVariables::IsPlaying() == mVariables::kTrue; }
    [[nodiscard]] static double DevicePosition() {
        zr::StatusReply reply;
        return zr::SendStatusQuery(u"status mp3 position", reply) == 0 ? reply.Value() : -1;
    }

    static inline PrivateBus* bus = nullptr;
    static inline int connections = 0;
    QString playerName, clientName;
    std::unique_ptr<zr::ui::Mpris> mpris;
    std::unique_ptr<QDBusConnection> client;
    Listener listener;
};

TEST_F(MprisTest, RootNamesThePlayerRaiseShowsItAndQuitIsTheCloseRequest) {
    EXPECT_EQ(Get(kRoot, "Identity").toString(), "ZR - Mp3 Player");
    EXPECT_EQ(Get(kRoot, "DesktopEntry").toString(), "zr-mp3-player");
    EXPECT_TRUE(Get(kRoot, "CanQuit").toBool());
    EXPECT_TRUE(Get(kRoot, "CanRaise").toBool());
    EXPECT_FALSE(Get(kRoot, "HasTrackList").toBool());

    window->showMinimized();
    Call(kRoot, QStringLiteral("Raise"));
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());

    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Player("Play");
    ASSERT_TRUE(Playing());
    Call(kRoot, QStringLiteral("Quit"));
    EXPECT_FALSE(window->isVisible());
    // The close request stopped the playing track, as the close button does.
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(zr::TrackIsOpen());
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
}

TEST_F(MprisTest, TransportMethodsRunTheButtonsAndPropertiesShowTheWindowsState) {
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(Get("CanPlay").toBool()) << "an empty list has nothing to play";
    EXPECT_EQ(Metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              zr::ui::kMprisNoTrack);
    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    EXPECT_TRUE(Get("CanPlay").toBool());
    EXPECT_FALSE(Get("CanPause").toBool());
    EXPECT_FALSE(Get("CanSeek").toBool());
    EXPECT_TRUE(Get("CanControl").toBool());

    Player("PlayPause"); // nothing selected: row 1, as the Play button
    EXPECT_TRUE(Playing());
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");
    EXPECT_EQ(Mark(1), "P");
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Playing");
    QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "(01) one.mp3");
    EXPECT_EQ(metadata.value("xesam:url").toString(),
              QStringLiteral("file://") + folder.filePath("one.mp3"));
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(),
              qlonglong(mVariables::TrackLength()) * 1000);
    EXPECT_NEAR(metadata.value("mpris:length").toLongLong(), 3'000'000, 50'000);
    const QString trackId = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_EQ(trackId, zr::ui::TrackIdForRow(1));
    // Only the NoTrack path may be used under /org/mpris.
    EXPECT_EQ(trackId, "/org/zr_mp3_player/track/1");
    EXPECT_TRUE(Get("CanPause").toBool());
    EXPECT_TRUE(Get("CanSeek").toBool());
    EXPECT_TRUE(Get("CanGoNext").toBool());
    EXPECT_FALSE(Get("CanGoPrevious").toBool());

    QTest::qWait(400);
    Player("PlayPause");
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Paused");
    EXPECT_FALSE(Get("CanPause").toBool());
    const double pausedAt = DevicePosition();
    const qlonglong reported = Get("Position").toLongLong();
    QTest::qWait(300);
    EXPECT_EQ(DevicePosition(), pausedAt) << "the device went on playing while paused";
    EXPECT_NEAR(reported, pausedAt * 1000, 1000);
    EXPECT_GT(reported, 200'000);

    Player("Next");
    EXPECT_TRUE(Playing());
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    EXPECT_EQ(Metadata().value("xesam:title").toString(), "(02) two.mp3");
    EXPECT_FALSE(Get("CanGoNext").toBool());
    EXPECT_TRUE(Get("CanGoPrevious").toBool());
    Player("Next"); // the last row: nothing, as the button
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    Player("Previous");
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");
    Player("Pause");
    Player("Play"); // resumes the paused row
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");
    EXPECT_TRUE(Playing());
    Player("Stop");
    EXPECT_FALSE(zr::TrackIsOpen());
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Stopped");
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
}

TEST_F(MprisTest, AfterClearPlaylistThePlayingTrackCanStillBePausedByPlayerctl) {
    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Player("Play");
    Click(14); // Clear Playlist: the track plays on
    Settle();
    ASSERT_EQ(window->lstFiles.ListItems().Count(), 0);
    ASSERT_TRUE(Playing());
    EXPECT_TRUE(Get("CanPause").toBool());
    EXPECT_TRUE(Get("CanPlay").toBool()) << "a playing track is a track PlayPause can act on";

    const ClientRun paused = Playerctl({"pause"});
    EXPECT_EQ(paused.exitCode, 0) << paused.err.toStdString();
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Paused");
    // Paused with no row left, Play would do nothing, as the button does; the flags say so.
    EXPECT_FALSE(Get("CanPlay").toBool());
    EXPECT_FALSE(Get("CanPause").toBool());
    const ClientRun played = Playerctl({"play"});
    EXPECT_NE(played.exitCode, 0);
    EXPECT_FALSE(Playing());
}

TEST_F(MprisTest, SetTakesOnlyAValueOfThePropertysOwnType) {
    // gdbus's text form: '1.0' is a string, true a boolean, 1 an int32.
    const struct {
        QString interface;
        const char* property;
        const char* value;
        const char* error;
    } refused[] = {
        {kPlayer, "Volume", "<'1.0'>", "InvalidArgs"},
        {kPlayer, "Volume", "<true>", "InvalidArgs"},
        {kPlayer, "Volume", "<1>", "InvalidArgs"},
        {kPlayer, "Shuffle", "<1>", "InvalidArgs"},
        {kPlayer, "PlaybackStatus", "<'Playing'>", "PropertyReadOnly"},
        {kRoot, "Identity", "<'x'>", "PropertyReadOnly"},
        {kPlayer, "LoopStatus", "<'Track'>", "UnknownProperty"},
    };
    for (const auto& c : refused) {
        const ClientRun run = GdbusSet(c.interface, c.property, c.value);
        EXPECT_TRUE(run.exitCode != 0 && run.err.contains(c.error))
            << c.property << " " << c.value << ": " << run.err.toStdString();
    }
    EXPECT_EQ(mVariables::VolumeLevel(), 498) << "a value of the wrong type moved the volume";
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kFalse);

    const ClientRun good = GdbusSet(kPlayer, "Volume", "<1.0>");
    EXPECT_EQ(good.exitCode, 0) << good.err.toStdString();
    EXPECT_EQ(mVariables::VolumeLevel(), 996);
    // Get and GetAll answer beside this Set, and the interface is described once.
    EXPECT_EQ(Playerctl({"volume"}).out.toDouble(), 1.0);
    const ClientRun introspect =
        RunClient(QStringLiteral("gdbus"),
                  {"introspect", "--session", "--dest", kService, "--object-path", kPath});
    EXPECT_EQ(introspect.out.count("interface org.freedesktop.DBus.Properties"), 1);
}

TEST_F(MprisTest, TheFirstAnnouncementAfterStartCarriesOnlyWhatChanged) {
    // As the program starts: the bus object comes before the window is shown and loaded.
    mpris.reset();
    mVariables::ResetToStartValues();
    Settle();
    listener.changes.clear();
    zr::ui::frmMain started;
    auto early = std::make_unique<zr::ui::Mpris>(
        started, QDBusConnection::connectToBus(bus->Address(), playerName));
    ASSERT_EQ(early->ServiceName(), kService);
    started.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&started));
    ASSERT_EQ(mVariables::VolumeLevel(), 498);
    ASSERT_DOUBLE_EQ(Get("Volume").toDouble(), 0.5);

    // The first change a client hears of: a row to play.
    zr::AppendEntry(started.lstFiles, DriveFolder(folder.path()), QStringLiteral("one.mp3"));
    Settle();
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_TRUE(listener.changes.front().value("CanPlay").toBool());
    EXPECT_FALSE(listener.changes.front().contains("Volume")) << "Volume had not changed";
    early.reset();
}

TEST_F(MprisTest, MetadataKeepsTheAddressPlayOpenedAndTheTitleTheWindowShows) {
    // A name that is not UTF-8 (Latin-1 "café.mp3"): the window shows U+FFFD for the byte.
    const QByteArray bytes("caf\xE9.mp3");
    std::filesystem::copy_file(Fixture("tone_3s_cbr_44100_stereo.mp3").toStdString(),
                               (QFile::encodeName(folder.path()) + "/" + bytes).toStdString());
    const QString name = zr::FromOsText(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    zr::AppendEntry(window->lstFiles, DriveFolder(folder.path()), name);
    Player("Play");
    ASSERT_TRUE(Playing());
    const QString shown = QStringLiteral("(01) caf\uFFFD.mp3");
    EXPECT_EQ(Metadata().value("xesam:title").toString(), shown);
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}).out, shown);
    const QString url = QStringLiteral("file://") + folder.path() + QStringLiteral("/caf%E9.mp3");
    EXPECT_EQ(Metadata().value("xesam:url").toString(), url);

    // The address is the one Play made: the file system is not asked again (a stalled share
    // would hang the window), so a file moved away since keeps its address.
    ASSERT_EQ(::rename((QFile::encodeName(folder.path()) + "/" + bytes).constData(),
                       QFile::encodeName(folder.filePath("moved.mp3")).constData()),
              0);
    EXPECT_EQ(Metadata().value("xesam:url").toString(), url);
}

TEST_F(MprisTest, ChangesAreAnnouncedOnceWithTheirNewValuesAndTheClocksTicksAnnounceNothing) {
    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Settle();
    listener.changes.clear();

    Player("Play");
    Settle();
    ASSERT_EQ(listener.changes.size(), 1u);
    QVariantMap changed = listener.changes.front();
    EXPECT_EQ(changed.value("PlaybackStatus").toString(), "Playing");
    EXPECT_TRUE(changed.value("CanPause").toBool());
    EXPECT_TRUE(changed.contains("Metadata"));
    EXPECT_FALSE(changed.contains("Volume")) << "an unchanged value was announced";

    // Next is Stop then Play: one announcement, of the row it ends on, without a "Stopped".
    listener.changes.clear();
    Player("Next");
    Settle();
    ASSERT_EQ(listener.changes.size(), 1u);
    changed = listener.changes.front();
    EXPECT_FALSE(changed.contains("PlaybackStatus"));
    const QVariantMap metadata =
        qdbus_cast<QVariantMap>(changed.value("Metadata").value<QDBusArgument>());
    EXPECT_EQ(metadata.value("xesam:title").toString(), "(02) two.mp3");
    EXPECT_FALSE(changed.value("CanGoNext").toBool());

    // A double-click on row 1 is Stop then Play as well: one announcement, no "Stopped".
    listener.changes.clear();
    QTreeView& view = window->lstFiles.View();
    const QRect cell = view.visualRect(view.model()->index(0, 1)); // row 1's file name
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    Settle();
    ASSERT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_FALSE(listener.changes.front().contains("PlaybackStatus"));
    EXPECT_TRUE(listener.changes.front().value("CanGoNext").toBool());

    // A second of the clock changes only the position, which is not announced.
    listener.changes.clear();
    QTest::qWait(1300);
    EXPECT_TRUE(listener.changes.empty());

    // A click on a real button is announced as well.
    Click(10);
    Settle();
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_DOUBLE_EQ(listener.changes.front().value("Volume").toDouble(), 4.0 / 6.0);
    EXPECT_EQ(listener.changes.front().size(), 1);
}

TEST_F(MprisTest, SeekAndSetPositionUseTheSeekBarsSeek) {
    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    Player("Play");
    const QString track = zr::ui::TrackIdForRow(1);

    Player("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(2'000'000)});
    Settle();
    ASSERT_EQ(listener.seeks.size(), 1u);
    EXPECT_EQ(listener.seeks.back(), 2'000'000);
    EXPECT_GE(DevicePosition(), 1900);
    EXPECT_GE(Get("Position").toLongLong(), 1'900'000);

    Player("Seek", {qlonglong(-10'000'000)}); // before the start: from 0
    Settle();
    ASSERT_EQ(listener.seeks.size(), 2u);
    EXPECT_EQ(listener.seeks.back(), 0);
    EXPECT_LT(DevicePosition(), 1000);

    // Another track's id or a place past the end: ignored.
    Player("SetPosition",
           {QVariant::fromValue(QDBusObjectPath(zr::ui::TrackIdForRow(2))), qlonglong(1'000'000)});
    Player("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(9'000'000)});
    Settle();
    EXPECT_EQ(listener.seeks.size(), 2u);
    EXPECT_LT(DevicePosition(), 1000);

    // A paused track plays on from the new place, as after a press on the bar.
    Player("Pause");
    Player("Seek", {qlonglong(1'500'000)});
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(window->Timer1.Enabled());
    Settle();
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Playing");

    // Past the end with a row below: on to that row, as Next.
    Player("Seek", {qlonglong(60'000'000)});
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");

    // The bar itself announces its seeks too.
    const std::size_t before = listener.seeks.size();
    QTest::mouseClick(&window->ProgressBar, Qt::LeftButton, {}, QPoint(0, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.seeks.size() > before; }, 5000));
    Settle();
    ASSERT_EQ(listener.seeks.size(), before + 1);
    EXPECT_EQ(listener.seeks.back(), 0);
}

TEST_F(MprisTest, VolumeRateAndShuffleMoveTheWindowsOwnControls) {
    EXPECT_DOUBLE_EQ(Get("Volume").toDouble(), 0.5); // three of six steps at start
    Set("Volume", 1.0);
    EXPECT_EQ(mVariables::VolumeLevel(), 996);
    for (std::int16_t i = 0; i < 6; ++i)
        EXPECT_EQ(window->VolumeInd(i).FillColor(), zr::ui::Rgb(250, 0, 0)) << i;
    Set("Volume", 0.0);
    EXPECT_EQ(mVariables::VolumeLevel(), 166);
    EXPECT_EQ(window->VolumeInd(1).FillColor(), zr::ui::Rgb(128, 0, 0));
    Set("Volume", 0.6); // the nearest step: 4 of 6
    EXPECT_EQ(mVariables::VolumeLevel(), 664);
    EXPECT_DOUBLE_EQ(Get("Volume").toDouble(), 4.0 / 6.0);

    EXPECT_DOUBLE_EQ(Get("MinimumRate").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(Get("MaximumRate").toDouble(), 1.5);
    Set("Rate", 0.5);
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Slow play");
    EXPECT_DOUBLE_EQ(Get("Rate").toDouble(), 0.5);
    Set("Rate", 1.4);
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Fast play");
    Set("Rate", 1.0);
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Normal play");

    Set("Shuffle", true);
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kTrue);
    EXPECT_EQ(window->speCommandLight(7).FillColor(), zr::ui::Rgb(255, 0, 0));
    Set("Shuffle", false);
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kFalse);

    // A rate of 0 asks for a pause.
    AddRow("one.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Player("Play");
    Set("Rate", 0.0);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Normal play");
}

TEST(MprisWithoutBus, NothingIsRegisteredAndTheButtonsWorkAsBefore) {
    mVariables::ResetToStartValues();
    zr::ui::frmMain window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/zr-no-bus"), QStringLiteral("zr-no-bus"));
    ASSERT_FALSE(none.isConnected());
    {
        const zr::ui::Mpris mpris(window, none);
        EXPECT_TRUE(mpris.ServiceName().isEmpty());
        window.imgControl_Click(10);
        EXPECT_EQ(mVariables::VolumeLevel(), 664);
        QTest::qWait(50);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("zr-no-bus"));
}

TEST_F(MprisTest, ASecondPlayerOnTheSameBusTakesAnInstanceName) {
    zr::ui::frmMain other;
    const QString name = QStringLiteral("zr-second-player");
    {
        const zr::ui::Mpris second(other, QDBusConnection::connectToBus(bus->Address(), name));
        EXPECT_EQ(second.ServiceName(), kService + QStringLiteral(".instance") +
                                            QString::number(QCoreApplication::applicationPid()));
    }
    QDBusConnection::disconnectFromBus(name);
    EXPECT_EQ(Get(kRoot, "Identity").toString(), "ZR - Mp3 Player") << "the first lost its name";
}

} // namespace

#include "Mpris_test.moc"
