#pragma once
// The program's side of the media command channel: how command texts reach the media control
// service, the shared status reply buffer, and the one-word path for the open command.
// Everything here runs on the user-interface thread. Result codes are returned for those who
// want to look, but the program ignores them: each command sequence runs to its end.

#include <QString>
#include <QStringView>

namespace zr {

// Where the program's media commands go: the seam in front of mWinAPI::mciSendStringA (not the
// media control service itself). The program uses the system endpoint; tests install a
// recording one (tests/support) to check exact command texts.
class MediaEndpoint {
public:
    virtual ~MediaEndpoint() = default;
    // command: NUL-terminated UTF-8. Writes at most replyLength bytes (NUL included) into reply
    // when the command has a reply. Returns 0 or a nonzero error code.
    virtual int SendString(const char* command, char* reply, unsigned replyLength) = 0;
};

// The endpoint that hands commands to mWinAPI::mciSendStringA. Process-wide, lives as long as the
// process.
[[nodiscard]] MediaEndpoint& SystemMediaEndpoint();

// The endpoint commands go to now: the system one unless a ScopedMediaEndpoint is active.
[[nodiscard]] MediaEndpoint& CurrentMediaEndpoint();

// Routes every command to `service` while the guard lives, then restores the previous endpoint.
// Guards nest; the endpoint must outlive its guard. Not thread-safe (user-interface thread).
class ScopedMediaEndpoint {
public:
    explicit ScopedMediaEndpoint(MediaEndpoint& service);
    ScopedMediaEndpoint(const ScopedMediaEndpoint&) = delete;
    ScopedMediaEndpoint& operator=(const ScopedMediaEndpoint&) = delete;
    ~ScopedMediaEndpoint();

private:
    MediaEndpoint* previous_;
};

// The one reply buffer of the program, shared by "status mp3 length" and
// "status mp3 position": exactly 30 characters, 30 NULs at first, never cleared. Each reply
// overwrites it from the front; the characters after the reply's NUL keep what they held
// (the tail of a longer earlier reply). Owned by the player window, lives as long as it.
class StatusReply {
public:
    static constexpr int kLength = 30;

    StatusReply();

    // All 30 characters.
    [[nodiscard]] const QString& Text() const { return text_; }
    // The reply as shown in a caption: the characters before the first NUL.
    [[nodiscard]] QString Caption() const;
    // TextValue of all 30 characters: the reply's NUL ends the number.
    [[nodiscard]] double Value() const;

    // Stores a 30-character text as the buffer's new content (what the channel copies back).
    // A text of another length is cut or padded with NULs to 30.
    void Assign(QStringView text);

private:
    QString text_;
};

// Sends an ordinary command (all but the two status queries): UTF-8, with a throw-away reply
// "0" and reply length 0, so the service returns no text.
int SendCommand(QStringView command);

// Sends a status query ("status mp3 length", "status mp3 position"): the service gets an
// 8-bit copy of the 30 characters of `reply` (one byte per character) and the length 30; after
// the call, whatever the result, all 30 bytes are copied back into `reply`.
int SendStatusQuery(QStringView command, StatusReply& reply);

// The one-word form of a track's full path (drive-letter, ToOsText at the platform call) for the
// open command: mWinAPI::GetShortPathNameA with a 260-byte buffer, cut with TrimAtNull. Empty
// when the file does not exist. When the form is longer than 260 bytes (long or non-ASCII
// names grow under percent-encoding) a buffer of the needed size is used instead, so such
// files still play.
[[nodiscard]] QString ShortPathOf(QStringView longPath);

} // namespace zr
