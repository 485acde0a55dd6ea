#pragma once
// The player on the desktop's media bus (MPRIS2): the desktop's media panel, lock screen,
// media keys and playerctl reach the player through the same handlers as its buttons.
// Object /org/mpris/MediaPlayer2 on the session bus, under org.mpris.MediaPlayer2.zr_mp3_player
// (with ".instance<pid>" appended when another player already holds that name).
//
// Properties are read from the window and the player state when asked; PropertiesChanged goes
// out when the window reports a change (after a handler ran, rows came or went, the selection
// moved), once per turn of the event loop and only with the values that differ from those last
// sent. Without a session bus nothing is registered and the player goes on as before.

#include <QDBusConnection>
#include <QDBusContext>
#include <QMetaProperty>
#include <QObject>
#include <QVariantMap>

#include <cstdint>
#include <optional>
#include <vector>

class QDBusAbstractAdaptor;

namespace zr::ui {

class frmMain;

inline constexpr char kMprisServiceName[] = "org.mpris.MediaPlayer2.zr_mp3_player";
inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// The rate MPRIS shows for the speed label's caption: 0.5, 1.5, else 1.0.
[[nodiscard]] double RateForSpeedCaption(const QString& caption);
// The speed button (6 Slow, 15 Normal, 7 Fast) nearest to a requested rate above 0.
[[nodiscard]] std::int16_t SpeedButtonForRate(double rate);
// The volume as MPRIS shows it, 0..1: lit steps of the indicator / 6.
[[nodiscard]] double MprisVolume(int volumeLevel);
// Lit steps (1..6) that a requested MPRIS volume asks for; NaN counts as the lowest step.
[[nodiscard]] int VolumeStepsFor(double volume);
// The object path naming the playlist row a track was opened from; MPRIS keeps the paths under
// /org/mpris for itself, so the ids live in the player's own namespace.
[[nodiscard]] QString TrackIdForRow(std::int32_t row);

// A QDBusContext, so the Properties calls can answer a failure with its D-Bus error.
class Mpris : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    // Registers on `bus` (the session bus by default). The window must outlive this object;
    // make it a child of the window or destroy it first.
    explicit Mpris(frmMain& window, QDBusConnection bus = QDBusConnection::sessionBus());
    ~Mpris() override;

    // The bus name taken, empty when there is no bus or no name could be had.
    [[nodiscard]] const QString& ServiceName() const { return serviceName_; }

    // ---- What the two interfaces read and do (the adaptors forward here). ----
    [[nodiscard]] QString PlaybackStatus() const;
    [[nodiscard]] QVariantMap Metadata() const;
    [[nodiscard]] qlonglong PositionUs() const;
    [[nodiscard]] double Rate() const;
    void SetRate(double rate);
    [[nodiscard]] double Volume() const;
    void SetVolume(double volume);
    [[nodiscard]] bool Shuffle() const;
    void SetShuffle(bool on);
    [[nodiscard]] bool CanPlay() const;
    [[nodiscard]] bool CanPause() const;
    [[nodiscard]] bool CanGoNext() const;
    [[nodiscard]] bool CanGoPrevious() const;
    [[nodiscard]] bool CanSeek() const;

    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QString& trackId, qlonglong positionUs);
    void Raise();
    void Quit();

    // org.freedesktop.DBus.Properties of the two interfaces (bus calls only: a failure is
    // answered with the matching D-Bus error). A writable property takes a value of its own
    // D-Bus type only.
    [[nodiscard]] QVariant GetProperty(const QString& interface, const QString& name);
    [[nodiscard]] QVariantMap GetAllProperties(const QString& interface);
    void SetProperty(const QString& interface, const QString& name, const QVariant& value);

    // Sends PropertiesChanged for what differs from the values last sent. Normally runs by
    // itself one event-loop turn after a change; public for the handlers that must not wait.
    void SendChanges();

private:
    // The adaptors of an interface (both for ""); none, with an error sent, for another.
    std::vector<QDBusAbstractAdaptor*> AdaptorsFor(const QString& interface);
    // The property and the adaptor holding it; nothing, with an error sent, when there is none.
    std::optional<QMetaProperty> PropertyFor(const QString& interface, const QString& name,
                                             QDBusAbstractAdaptor*& owner);
    void ScheduleChanges();
    // What a client can have seen so far: later announcements carry only what differs.
    void TakeBaseline();
    void SendSeeked(std::int32_t positionMs);
    [[nodiscard]] QVariantMap PlayerProperties() const;
    void Press(std::int16_t button);

    frmMain& window_;
    QDBusConnection bus_;
    QString serviceName_;
    QVariantMap sent_; // Player properties as last announced
    bool scheduled_ = false;
};

} // namespace zr::ui
