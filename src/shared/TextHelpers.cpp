#include "TextHelpers.h"

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
    return QString::fromUtf8(buffer, static_cast<const char*>(nul) - buffer);
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
