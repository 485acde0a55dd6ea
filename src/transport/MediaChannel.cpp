#include "MediaChannel.h"

#include "TextHelpers.h"
#include "mWinAPI.h"

#include <QByteArray>

#include <array>
#include <vector>

namespace zr {

namespace {

class WinApiMediaEndpoint final : public MediaEndpoint {
public:
    int SendString(const char* command, char* reply, unsigned replyLength) override {
        return mWinAPI::mciSendStringA(command, reply, replyLength, nullptr);
    }
};

MediaEndpoint* currentService = nullptr;

} // namespace

MediaEndpoint& SystemMediaEndpoint() {
    static WinApiMediaEndpoint service;
    return service;
}

MediaEndpoint& CurrentMediaEndpoint() {
    return currentService != nullptr ? *currentService : SystemMediaEndpoint();
}

ScopedMediaEndpoint::ScopedMediaEndpoint(MediaEndpoint& service) : previous_(currentService) {
    currentService = &service;
}

ScopedMediaEndpoint::~ScopedMediaEndpoint() {
    currentService = previous_;
}

StatusReply::StatusReply() : text_(kLength, QChar(u'\0')) {}

QString StatusReply::Caption() const {
    return TrimAtNull(text_);
}

double StatusReply::Value() const {
    return TextValue(text_);
}

void StatusReply::Assign(QStringView text) {
    text_ = text.left(kLength).toString();
    if (text_.size() < kLength) {
        text_.append(QString(kLength - text_.size(), QChar(u'\0')));
    }
}

int SendCommand(QStringView command) {
    const QByteArray utf8 = command.toUtf8();
    char throwAway[] = "0";
    return CurrentMediaEndpoint().SendString(utf8.constData(), throwAway, 0);
}

int SendStatusQuery(QStringView command, StatusReply& reply) {
    const QByteArray utf8 = command.toUtf8();
    // One byte per character both ways, so the buffer stays exactly 30 characters whatever
    // bytes the service leaves in it.
    const QByteArray before = reply.Text().toLatin1();
    std::array<char, StatusReply::kLength> buffer{};
    std::copy(before.begin(), before.end(), buffer.begin());
    const int result =
        CurrentMediaEndpoint().SendString(utf8.constData(), buffer.data(), StatusReply::kLength);
    reply.Assign(QString::fromLatin1(buffer.data(), StatusReply::kLength));
    return result;
}

QString ShortPathOf(QStringView longPath) {
    const QByteArray utf8 = ToOsText(longPath);
    std::vector<char> buffer(mWinAPI::MAX_PATH, '\0');
    unsigned written = mWinAPI::GetShortPathNameA(utf8.constData(), buffer.data(),
                                                  static_cast<unsigned>(buffer.size()));
    if (written >= buffer.size()) {
        // The one-word form can be longer than a short name ever is; give it the room it
        // asks for rather than dropping the file.
        buffer.assign(written, '\0');
        written = mWinAPI::GetShortPathNameA(utf8.constData(), buffer.data(),
                                             static_cast<unsigned>(buffer.size()));
        if (written >= buffer.size()) {
            return {};
        }
    }
    return TrimAtNull(buffer.data(), buffer.size());
}

} // namespace zr
