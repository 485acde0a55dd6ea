#include "MciParser.h"

#include <algorithm>

namespace zr::media {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return out;
}

bool is(const MciToken& t, std::string_view keyword) {
    return !t.quoted && lower(t.text) == keyword;
}

// Walks the words after the device name.
class Words {
public:
    Words(const std::vector<MciToken>& tokens, std::size_t first) : tokens_(tokens), next_(first) {}
    [[nodiscard]] bool done() const { return next_ >= tokens_.size(); }
    [[nodiscard]] const MciToken* peek() const { return done() ? nullptr : &tokens_[next_]; }
    const MciToken* take() { return done() ? nullptr : &tokens_[next_++]; }
    bool takeKeyword(std::string_view keyword) {
        if (done() || !is(tokens_[next_], keyword))
            return false;
        ++next_;
        return true;
    }

private:
    const std::vector<MciToken>& tokens_;
    std::size_t next_;
};

// A number where one must follow; BadNumber when it is missing or malformed.
int takeNumber(Words& w, std::uint32_t& out) {
    const MciToken* t = w.take();
    if (!t)
        return kMciBadNumber;
    auto n = parseMciNumber(t->text);
    if (!n)
        return kMciBadNumber;
    out = *n;
    return kMciOk;
}

int parseOpen(const std::vector<MciToken>& tokens, MciCommand& cmd) {
    if (tokens.size() < 2)
        return kMciFileNotFound;
    const MciToken& file = tokens[1];
    // "open  type MPEGVideo alias mp3" is what an empty short path gives: no file named.
    if (is(file, "type") || is(file, "alias"))
        return kMciFileNotFound;
    if (file.text.empty())
        return kMciFileNotFound;
    cmd.file = file.text;
    cmd.fileIsUri = !file.quoted && lower(file.text.substr(0, 5)) == "file:";
    Words w(tokens, 2);
    bool haveType = false;
    bool haveAlias = false;
    while (!w.done()) {
        if (w.takeKeyword("type")) {
            const MciToken* t = w.take();
            if (!t || haveType)
                return kMciUnknownCommand;
            if (lower(t->text) != "mpegvideo")
                return kMciUnsupported;
            haveType = true;
        } else if (w.takeKeyword("alias")) {
            const MciToken* t = w.take();
            if (!t || t->text.empty() || haveAlias)
                return kMciUnknownCommand;
            cmd.device = lower(t->text);
            haveAlias = true;
        } else {
            return kMciUnknownCommand;
        }
    }
    if (!haveAlias)
        cmd.device = lower(cmd.file);
    if (cmd.device == "all")
        return kMciAliasInUse;
    return kMciOk;
}

int parsePlay(Words& w, MciCommand& cmd) {
    while (!w.done()) {
        std::uint32_t n = 0;
        if (w.takeKeyword("from")) {
            if (cmd.from)
                return kMciUnknownCommand;
            if (int e = takeNumber(w, n))
                return e;
            cmd.from = n;
        } else if (w.takeKeyword("to")) {
            if (cmd.to)
                return kMciUnknownCommand;
            if (int e = takeNumber(w, n))
                return e;
            cmd.to = n;
        } else {
            return kMciUnknownCommand;
        }
    }
    if (cmd.from && cmd.to && *cmd.to < *cmd.from)
        return kMciBadNumber;
    return kMciOk;
}

int parseSeek(Words& w, MciCommand& cmd) {
    if (!w.takeKeyword("to"))
        return kMciUnknownCommand;
    if (w.takeKeyword("start")) {
        cmd.seekTarget = SeekTarget::Start;
    } else if (w.takeKeyword("end")) {
        cmd.seekTarget = SeekTarget::End;
    } else {
        cmd.seekTarget = SeekTarget::Position;
        if (int e = takeNumber(w, cmd.seekPosition))
            return e;
    }
    return w.done() ? kMciOk : kMciUnknownCommand;
}

int parseSet(Words& w, MciCommand& cmd) {
    if (w.takeKeyword("time")) {
        if (!w.takeKeyword("format"))
            return kMciUnknownCommand;
        const MciToken* f = w.take();
        if (!f)
            return kMciUnknownCommand;
        const std::string name = lower(f->text);
        if (name == "milliseconds" || name == "ms") {
            cmd.setItem = SetItem::TimeFormatMs;
        } else if (name == "tmsf" || name == "frames" || name == "samples" || name == "hms" ||
                   name == "msf" || name == "bytes" || name == "smpte") {
            return kMciUnsupported;
        } else {
            return kMciUnknownCommand;
        }
    } else if (w.takeKeyword("speed")) {
        cmd.setItem = SetItem::Speed;
        if (int e = takeNumber(w, cmd.speed))
            return e;
        if (cmd.speed < kMinSpeed || cmd.speed > kMaxSpeed)
            return kMciBadNumber;
    } else if (w.takeKeyword("audio")) {
        if (!w.takeKeyword("all"))
            return kMciUnknownCommand;
        if (w.takeKeyword("on")) {
            cmd.setItem = SetItem::AudioOn;
        } else if (w.takeKeyword("off")) {
            cmd.setItem = SetItem::AudioOff;
        } else {
            return kMciUnknownCommand;
        }
    } else {
        return kMciUnknownCommand;
    }
    return w.done() ? kMciOk : kMciUnknownCommand;
}

int parseSetAudio(Words& w, MciCommand& cmd) {
    if (!w.takeKeyword("volume"))
        return kMciUnknownCommand;
    if (!w.takeKeyword("to"))
        return kMciUnknownCommand;
    if (int e = takeNumber(w, cmd.volume))
        return e;
    if (cmd.volume > kMaxVolume)
        return kMciBadNumber;
    return w.done() ? kMciOk : kMciUnknownCommand;
}

int parseStatus(Words& w, MciCommand& cmd) {
    if (w.takeKeyword("length")) {
        cmd.statusItem = StatusItem::Length;
    } else if (w.takeKeyword("position")) {
        cmd.statusItem = StatusItem::Position;
    } else if (w.takeKeyword("mode")) {
        cmd.statusItem = StatusItem::Mode;
    } else if (w.takeKeyword("volume")) {
        cmd.statusItem = StatusItem::Volume;
    } else if (w.takeKeyword("speed")) {
        cmd.statusItem = StatusItem::Speed;
    } else if (w.takeKeyword("time")) {
        if (!w.takeKeyword("format"))
            return kMciUnknownCommand;
        cmd.statusItem = StatusItem::TimeFormat;
    } else {
        return kMciUnknownCommand;
    }
    return w.done() ? kMciOk : kMciUnknownCommand;
}

std::optional<MciVerb> verbOf(const MciToken& t) {
    if (t.quoted)
        return std::nullopt;
    const std::string v = lower(t.text);
    if (v == "open")
        return MciVerb::Open;
    if (v == "close")
        return MciVerb::Close;
    if (v == "play")
        return MciVerb::Play;
    if (v == "pause")
        return MciVerb::Pause;
    if (v == "resume")
        return MciVerb::Resume;
    if (v == "stop")
        return MciVerb::Stop;
    if (v == "seek")
        return MciVerb::Seek;
    if (v == "set")
        return MciVerb::Set;
    if (v == "setaudio")
        return MciVerb::SetAudio;
    if (v == "status")
        return MciVerb::Status;
    return std::nullopt;
}

} // namespace

std::optional<std::vector<MciToken>> tokenizeMciCommand(std::string_view text) {
    std::vector<MciToken> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        MciToken t;
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            t.text = std::string(text.substr(i + 1, close - i - 1));
            t.quoted = true;
            i = close + 1;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !isBlank(text[i]))
                ++i;
            t.text = std::string(text.substr(start, i - start));
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

std::optional<std::uint32_t> parseMciNumber(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0x7fffffffu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

MciParseResult parseMciCommand(std::string_view text) {
    MciParseResult result;
    // A NUL ends the command, as it would for a C string.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    auto tokens = tokenizeMciCommand(text);
    if (!tokens || tokens->empty()) {
        result.error = kMciUnknownCommand;
        return result;
    }
    auto verb = verbOf((*tokens)[0]);
    if (!verb) {
        result.error = kMciUnknownCommand;
        return result;
    }
    MciCommand& cmd = result.command;
    cmd.verb = *verb;
    if (cmd.verb == MciVerb::Open) {
        result.error = parseOpen(*tokens, cmd);
        return result;
    }
    if (tokens->size() < 2) {
        result.error = kMciUnknownCommand;
        return result;
    }
    cmd.device = lower((*tokens)[1].text);
    if (cmd.device.empty()) {
        result.error = kMciUnknownAlias;
        return result;
    }
    if (cmd.device == "all" && !(*tokens)[1].quoted) {
        if (cmd.verb != MciVerb::Close) {
            result.error = kMciUnknownAlias;
            return result;
        }
        cmd.allDevices = true;
        cmd.device.clear();
    }
    Words w(*tokens, 2);
    switch (cmd.verb) {
    case MciVerb::Play:
        result.error = parsePlay(w, cmd);
        break;
    case MciVerb::Seek:
        result.error = parseSeek(w, cmd);
        break;
    case MciVerb::Set:
        result.error = parseSet(w, cmd);
        break;
    case MciVerb::SetAudio:
        result.error = parseSetAudio(w, cmd);
        break;
    case MciVerb::Status:
        result.error = parseStatus(w, cmd);
        break;
    case MciVerb::Open:
        break;
    case MciVerb::Close:
    case MciVerb::Pause:
    case MciVerb::Resume:
    case MciVerb::Stop:
        result.error = w.done() ? kMciOk : kMciUnknownCommand;
        break;
    }
    return result;
}

} // namespace zr::media
