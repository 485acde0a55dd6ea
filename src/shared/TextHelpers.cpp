#include "TextHelpers.h"

#include "Utf8.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace zr {

double TextValue(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string number;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            seenDigit = true;
            number.push_back(static_cast<char>(c));
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
            number.push_back('.');
        } else {
            break;
        }
    }
    if (!seenDigit) {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // No exponent is read, so only a very long digit run gets here: huge when its whole
        // part has a nonzero digit, otherwise a fraction too small for a double.
        const std::string whole = number.substr(0, number.find('.'));
        value = whole.find_first_not_of('0') != std::string::npos
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    }
    return negative ? -value : value;
}

QString TrimAtNull(QStringView text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul < 0) {
        return {};
    }
    return text.left(nul).toString();
}

QString TrimAtNull(const char* buffer, std::size_t size) {
    if (buffer == nullptr) {
        return {};
    }
    const void* nul = std::memchr(buffer, '\0', size);
    if (nul == nullptr) {
        return {};
    }
    return FromOsText(buffer, static_cast<std::size_t>(static_cast<const char*>(nul) - buffer));
}

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

} // namespace

QString FromOsText(const char* bytes, std::size_t size) {
    if (bytes == nullptr || size == 0) {
        return {};
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    QString text;
    text.reserve(static_cast<qsizetype>(size));
    std::size_t runStart = 0; // start of the valid bytes not yet decoded
    std::size_t i = 0;
    while (i < size) {
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = fs::utf8SequenceAt(std::string_view(bytes, size), i);
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes + runStart, static_cast<qsizetype>(i - runStart));
        text += QChar(static_cast<char16_t>(kEscapeBase + data[i]));
        runStart = ++i;
    }
    text += QString::fromUtf8(bytes + runStart, static_cast<qsizetype>(size - runStart));
    return text;
}

QByteArray ToOsText(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0xDC80 || c > 0xDCFF) {
            continue;
        }
        if (i > 0 && text[i - 1].isHighSurrogate()) {
            continue; // the second half of a pair, not an escaped byte
        }
        bytes += text.mid(runStart, i - runStart).toUtf8();
        bytes += static_cast<char>(c - kEscapeBase);
        runStart = i + 1;
    }
    bytes += text.mid(runStart).toUtf8();
    return bytes;
}

std::int32_t ToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // nearbyint honours the default rounding mode, round-to-nearest-even.
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (rounded <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace zr
