#include "Mpris.h"

#include "MediaChannel.h"
#include "PlaylistEntry.h"
#include "ShownText.h"
#include "TextHelpers.h"
#include "Transport.h"
#include "VolumeRules.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QItemSelectionModel>
#include <QMetaProperty>
#include <QTreeView>

#include <cmath>
#include <optional>
#include <vector>

#include <unistd.h>

namespace zr::ui {
namespace {

constexpr char kRootInterface[] = "org.mpris.MediaPlayer2";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

bool IsTrue(std::int16_t flag) {
    return flag == mVariables::kTrue;
}

// org.mpris.MediaPlayer2: who the player is and what the desktop may do with its window.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit RootAdaptor(Mpris& mpris) : QDBusAbstractAdaptor(&mpris), mpris_(mpris) {}

    [[nodiscard]] bool CanQuit() const { return true; }
    [[nodiscard]] bool CanRaise() const { return true; }
    [[nodiscard]] bool HasTrackList() const { return false; }
    [[nodiscard]] QString Identity() const { return QStringLiteral("ZR - Mp3 Player"); }
    [[nodiscard]] QString DesktopEntry() const { return QStringLiteral("zr-mp3-player"); }
    // Tracks come from the file browser only; nothing is opened by address.
    [[nodiscard]] QStringList SupportedUriSchemes() const { return {}; }
    [[nodiscard]] QStringList SupportedMimeTypes() const { return {}; }

public slots:
    void Raise() { mpris_.Raise(); }
    void Quit() { mpris_.Quit(); }

private:
    Mpris& mpris_;
};

// org.mpris.MediaPlayer2.Player: the transport, seeking, speed and volume.
class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit PlayerAdaptor(Mpris& mpris) : QDBusAbstractAdaptor(&mpris), mpris_(mpris) {}

    [[nodiscard]] QString PlaybackStatus() const { return mpris_.PlaybackStatus(); }
    [[nodiscard]] double Rate() const { return mpris_.Rate(); }
    void SetRate(double rate) { mpris_.SetRate(rate); }
    [[nodiscard]] bool Shuffle() const { return mpris_.Shuffle(); }
    void SetShuffle(bool on) { mpris_.SetShuffle(on); }
    [[nodiscard]] QVariantMap Metadata() const { return mpris_.Metadata(); }
    [[nodiscard]] double Volume() const { return mpris_.Volume(); }
    void SetVolume(double volume) { mpris_.SetVolume(volume); }
    [[nodiscard]] qlonglong Position() const { return mpris_.PositionUs(); }
    [[nodiscard]] double MinimumRate() const { return 0.5; }
    [[nodiscard]] double MaximumRate() const { return 1.5; }
    [[nodiscard]] bool CanGoNext() const { return mpris_.CanGoNext(); }
    [[nodiscard]] bool CanGoPrevious() const { return mpris_.CanGoPrevious(); }
    [[nodiscard]] bool CanPlay() const { return mpris_.CanPlay(); }
    [[nodiscard]] bool CanPause() const { return mpris_.CanPause(); }
    [[nodiscard]] bool CanSeek() const { return mpris_.CanSeek(); }
    [[nodiscard]] bool CanControl() const { return true; }

public slots:
    void Next() { mpris_.Next(); }
    void Previous() { mpris_.Previous(); }
    void Pause() { mpris_.Pause(); }
    void PlayPause() { mpris_.PlayPause(); }
    void Stop() { mpris_.Stop(); }
    void Play() { mpris_.Play(); }
    void Seek(qlonglong offset) { mpris_.Seek(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        mpris_.SetPosition(trackId.path(), position);
    }
    // Part of the interface; with no supported schemes there is nothing it could open.
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong Position);

private:
    Mpris& mpris_;
};

// org.freedesktop.DBus.Properties for the two interfaces. Qt's own would do, but its Set
// converts what it can (the text "0.5" becomes a volume) and answers a failed conversion with
// InternalError. QtDBus gives an object's adaptors the first go at a call, so this one takes
// the interface over whole. No introspection of its own: Qt describes the interface already.
class PropertiesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    explicit PropertiesAdaptor(Mpris& mpris) : QDBusAbstractAdaptor(&mpris), mpris_(mpris) {}

public slots:
    QDBusVariant Get(const QString& interface, const QString& name) {
        return QDBusVariant(mpris_.GetProperty(interface, name));
    }
    QVariantMap GetAll(const QString& interface) { return mpris_.GetAllProperties(interface); }
    void Set(const QString& interface, const QString& name, const QDBusVariant& value) {
        mpris_.SetProperty(interface, name, value.variant());
    }

private:
    Mpris& mpris_;
};

} // namespace

double RateForSpeedCaption(const QString& caption) {
    if (caption == u"Slow play")
        return 0.5;
    if (caption == u"Fast play")
        return 1.5;
    return 1.0;
}

std::int16_t SpeedButtonForRate(double rate) {
    if (rate < 0.75)
        return 6;
    if (rate >= 1.25)
        return 7;
    return 15;
}

double MprisVolume(int volumeLevel) {
    const auto lit = LitVolumeSteps(volumeLevel);
    return static_cast<double>(lit.value_or(kVolumeIndicatorSteps)) / kVolumeIndicatorSteps;
}

int VolumeStepsFor(double volume) {
    if (!(volume > 0.0))
        return 1;
    const double steps = std::round(volume * kVolumeIndicatorSteps);
    return steps < 1.0 ? 1 : steps > kVolumeIndicatorSteps ? kVolumeIndicatorSteps : int(steps);
}

QString TrackIdForRow(std::int32_t row) {
    return QStringLiteral("/org/zr_mp3_player/track/") + QString::number(row);
}

Mpris::Mpris(frmMain& window, QDBusConnection bus)
    : QObject(nullptr), window_(window), bus_(std::move(bus)) {
    if (!bus_.isConnected())
        return;
    new RootAdaptor(*this);       // owned by this object
    new PlayerAdaptor(*this);     // owned by this object
    new PropertiesAdaptor(*this); // owned by this object
    if (!bus_.registerObject(QString::fromLatin1(kMprisObjectPath), this,
                             QDBusConnection::ExportAdaptors))
        return;
    const QString name = QString::fromLatin1(kMprisServiceName);
    for (const QString& candidate :
         {name, name + QStringLiteral(".instance") + QString::number(::getpid())}) {
        if (bus_.registerService(candidate)) {
            serviceName_ = candidate;
            break;
        }
    }

    TakeBaseline();
    // Before the load step the window still shows its values before start (the volume among
    // them); nobody can have read those, so the first announcement compares with the loaded ones.
    if (!window_.Loaded())
        connect(&window_, &Form::LoadRaised, this, &Mpris::TakeBaseline);
    connect(&window_, &frmMain::StateChanged, this, &Mpris::ScheduleChanges);
    connect(&window_, &frmMain::Seeked, this, &Mpris::SendSeeked);
    QTreeView& view = window_.lstFiles.View();
    QAbstractItemModel* model = view.model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &Mpris::ScheduleChanges);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &Mpris::ScheduleChanges);
    connect(model, &QAbstractItemModel::modelReset, this, &Mpris::ScheduleChanges);
    if (QItemSelectionModel* selection = view.selectionModel())
        connect(selection, &QItemSelectionModel::selectionChanged, this, &Mpris::ScheduleChanges);
}

Mpris::~Mpris() {
    if (!serviceName_.isEmpty())
        bus_.unregisterService(serviceName_);
    if (bus_.isConnected())
        bus_.unregisterObject(QString::fromLatin1(kMprisObjectPath));
}

QString Mpris::PlaybackStatus() const {
    if (IsTrue(mVariables::IsPlaying()))
        return QStringLiteral("Playing");
    return zr::TrackIsOpen() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

QVariantMap Mpris::Metadata() const {
    QVariantMap metadata;
    if (!zr::TrackIsOpen()) {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kMprisNoTrack))));
        return metadata;
    }
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(TrackIdForRow(zr::OpenTrackRow()))));
    // As the window shows it: a byte of the name that is not UTF-8 reads as U+FFFD.
    metadata.insert(QStringLiteral("xesam:title"), ShownText(window_.lblArtistA.Caption()));
    // Made when Play opened the file: resolving the path again here would touch the file
    // system on every announcement and every read, and hang with a stalled network share.
    const QString url = zr::OpenTrackUrl();
    if (!url.isEmpty())
        metadata.insert(QStringLiteral("xesam:url"), url);
    metadata.insert(QStringLiteral("mpris:length"),
                    QVariant::fromValue(qlonglong(mVariables::TrackLength()) * 1000));
    return metadata;
}

qlonglong Mpris::PositionUs() const {
    if (!zr::TrackIsOpen())
        return 0;
    // Asked of the device, not read from the label, which the clock renews only each second.
    // A buffer of its own, so the clock's reply buffer holds what the clock left in it.
    zr::StatusReply reply;
    double ms = 0;
    if (zr::SendStatusQuery(u"status mp3 position", reply) == 0)
        ms = reply.Value();
    else
        ms = zr::TextValue(window_.lblPositionA.Caption());
    return ms > 0 ? qlonglong(ms) * 1000 : 0;
}

double Mpris::Rate() const {
    const auto* label = window_.lblPlayMode.Find(1);
    return label ? RateForSpeedCaption(label->Caption()) : 1.0;
}

void Mpris::SetRate(double rate) {
    if (!(rate > 0.0)) {
        // A rate of 0 asks for a pause.
        if (CanPause())
            Pause();
        return;
    }
    const std::int16_t button = SpeedButtonForRate(rate);
    const double wanted = button == 6 ? 0.5 : button == 7 ? 1.5 : 1.0;
    if (wanted != Rate())
        Press(button);
}

double Mpris::Volume() const {
    return MprisVolume(mVariables::VolumeLevel());
}

void Mpris::SetVolume(double volume) {
    const int wanted = VolumeStepsFor(volume);
    // Whole steps through the volume buttons; each press moves one step or stops at a bound.
    for (int press = 0; press < 2 * kVolumeIndicatorSteps; ++press) {
        const int lit =
            LitVolumeSteps(mVariables::VolumeLevel()).value_or(kVolumeIndicatorSteps + 1);
        if (lit == wanted)
            break;
        const std::int16_t before = mVariables::VolumeLevel();
        Press(lit < wanted ? 10 : 11);
        if (mVariables::VolumeLevel() == before)
            break;
    }
}

bool Mpris::Shuffle() const {
    return IsTrue(mVariables::IsRandomMode());
}

void Mpris::SetShuffle(bool on) {
    if (on != Shuffle())
        Press(9);
}

bool Mpris::CanPlay() const {
    // Play needs a row; a playing track plays on (and PlayPause pauses it) with the list emptied.
    return window_.lstFiles.ListItems().Count() > 0 || IsTrue(mVariables::IsPlaying());
}

bool Mpris::CanPause() const {
    // Pause acts on the open track, also when the list was emptied under it.
    return IsTrue(mVariables::IsPlaying());
}

bool Mpris::CanGoNext() const {
    return zr::NextRow(zr::SelectedRow(window_.lstFiles), window_.lstFiles.ListItems().Count()) !=
           0;
}

bool Mpris::CanGoPrevious() const {
    return zr::PreviousRow(zr::SelectedRow(window_.lstFiles),
                           window_.lstFiles.ListItems().Count()) != 0;
}

bool Mpris::CanSeek() const {
    return zr::TrackIsOpen() && mVariables::TrackLength() > 0;
}

void Mpris::Play() {
    Press(1);
}

void Mpris::Pause() {
    Press(2);
}

void Mpris::PlayPause() {
    Press(IsTrue(mVariables::IsPlaying()) ? 2 : 1);
}

void Mpris::Stop() {
    Press(3);
}

void Mpris::Next() {
    Press(4);
}

void Mpris::Previous() {
    Press(0);
}

void Mpris::Seek(qlonglong offsetUs) {
    if (!CanSeek())
        return;
    const qlonglong length = mVariables::TrackLength();
    qlonglong target = PositionUs() / 1000 + offsetUs / 1000;
    if (target < 0)
        target = 0;
    if (target > length) {
        // Past the end: on to the next row, or to the end of the last one.
        if (CanGoNext()) {
            Next();
            return;
        }
        target = length;
    }
    window_.SeekTo(static_cast<std::int32_t>(target));
}

void Mpris::SetPosition(const QString& trackId, qlonglong positionUs) {
    if (!CanSeek() || trackId != TrackIdForRow(zr::OpenTrackRow()))
        return;
    if (positionUs < 0 || positionUs > qlonglong(mVariables::TrackLength()) * 1000)
        return;
    window_.SeekTo(static_cast<std::int32_t>(positionUs / 1000));
}

void Mpris::Raise() {
    window_.ShowInFront();
}

void Mpris::Quit() {
    // The close button's path: the close request runs and may stop a playing track.
    window_.close();
}

std::vector<QDBusAbstractAdaptor*> Mpris::AdaptorsFor(const QString& interface) {
    std::vector<QDBusAbstractAdaptor*> adaptors;
    if (interface.isEmpty() || interface == QLatin1String(kRootInterface))
        adaptors.push_back(findChild<RootAdaptor*>());
    if (interface.isEmpty() || interface == QLatin1String(kPlayerInterface))
        adaptors.push_back(findChild<PlayerAdaptor*>());
    if (adaptors.empty())
        sendErrorReply(QDBusError::UnknownInterface,
                       QStringLiteral("No interface %1 at %2")
                           .arg(interface, QString::fromLatin1(kMprisObjectPath)));
    return adaptors;
}

std::optional<QMetaProperty> Mpris::PropertyFor(const QString& interface, const QString& name,
                                                QDBusAbstractAdaptor*& owner) {
    const std::vector<QDBusAbstractAdaptor*> adaptors = AdaptorsFor(interface);
    for (QDBusAbstractAdaptor* adaptor : adaptors) {
        const QMetaObject* meta = adaptor->metaObject();
        const int index = meta->indexOfProperty(name.toUtf8().constData());
        // The adaptor's own properties only, not QObject's.
        if (index >= QDBusAbstractAdaptor::staticMetaObject.propertyCount()) {
            owner = adaptor;
            return meta->property(index);
        }
    }
    if (!adaptors.empty())
        sendErrorReply(QDBusError::UnknownProperty,
                       QStringLiteral("No property %1 in %2").arg(name, interface));
    return std::nullopt;
}

QVariant Mpris::GetProperty(const QString& interface, const QString& name) {
    QDBusAbstractAdaptor* owner = nullptr;
    const auto property = PropertyFor(interface, name, owner);
    return property ? property->read(owner) : QVariant(0);
}

QVariantMap Mpris::GetAllProperties(const QString& interface) {
    QVariantMap all;
    for (QDBusAbstractAdaptor* adaptor : AdaptorsFor(interface)) {
        const QMetaObject* meta = adaptor->metaObject();
        for (int i = QDBusAbstractAdaptor::staticMetaObject.propertyCount();
             i < meta->propertyCount(); ++i)
            all.insert(QString::fromLatin1(meta->property(i).name()),
                       meta->property(i).read(adaptor));
    }
    return all;
}

void Mpris::SetProperty(const QString& interface, const QString& name, const QVariant& value) {
    QDBusAbstractAdaptor* owner = nullptr;
    const auto property = PropertyFor(interface, name, owner);
    if (!property)
        return;
    if (!property->isWritable()) {
        sendErrorReply(QDBusError::PropertyReadOnly,
                       QStringLiteral("%1.%2 is read-only").arg(interface, name));
        return;
    }
    // D-Bus types must match exactly: a string is no volume, whatever it says.
    if (value.metaType() != property->metaType()) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("%1.%2 takes a %3, not a %4")
                           .arg(interface, name, QString::fromLatin1(property->typeName()),
                                QString::fromLatin1(value.typeName())));
        return;
    }
    property->write(owner, value);
}

void Mpris::Press(std::int16_t button) {
    window_.imgControl_Click(button);
}

QVariantMap Mpris::PlayerProperties() const {
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Rate"), Rate()},
        {QStringLiteral("Shuffle"), Shuffle()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("CanGoNext"), CanGoNext()},
        {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
        {QStringLiteral("CanPlay"), CanPlay()},
        {QStringLiteral("CanPause"), CanPause()},
        {QStringLiteral("CanSeek"), CanSeek()},
    };
}

void Mpris::TakeBaseline() {
    sent_ = PlayerProperties();
}

void Mpris::ScheduleChanges() {
    if (serviceName_.isEmpty() || scheduled_)
        return;
    scheduled_ = true;
    // After the handler and any handlers it runs have finished, so Next (a Stop, then a Play)
    // is announced as the track it ends on, not as a stop in between.
    QMetaObject::invokeMethod(
        this, [this] { SendChanges(); }, Qt::QueuedConnection);
}

void Mpris::SendChanges() {
    scheduled_ = false;
    if (serviceName_.isEmpty())
        return;
    const QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (sent_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty())
        return;
    sent_ = now;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    bus_.send(signal);
}

void Mpris::SendSeeked(std::int32_t positionMs) {
    if (serviceName_.isEmpty())
        return;
    // The state change a seek may bring (a paused track plays on) goes out first.
    SendChanges();
    if (auto* player = findChild<PlayerAdaptor*>())
        emit player->Seeked(qlonglong(positionMs) * 1000);
}

} // namespace zr::ui

#include "Mpris.moc"
