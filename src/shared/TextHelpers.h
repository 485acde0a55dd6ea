#pragma once
// How the program reads numbers out of texts and cuts texts out of fixed-size buffers.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>

namespace zr {

// The number formed by the text's leading characters: optional blanks (U+0020), an optional
// sign, then decimal digits (ASCII 0-9) with at most one decimal point ('.'). The first other
// character, a NUL included, ends the number. A text without a leading number ("", "abc",
// "-", ".", " - 5") gives 0. Exponents are not read ("1e3" gives 1). Digit runs too long for a
// double give +/- infinity.
[[nodiscard]] double TextValue(QStringView text);

// The characters of the text before its first NUL. A text with no NUL gives the empty text.
[[nodiscard]] QString TrimAtNull(QStringView text);

// TrimAtNull of a byte buffer filled by the operating system: the text (FromOsText) of the
// bytes before the first NUL within size bytes; no NUL within size gives the empty text.
[[nodiscard]] QString TrimAtNull(const char* buffer, std::size_t size);

// Text crosses the operating-system boundary as UTF-8, but file names are bytes and need not
// be valid UTF-8. FromOsText decodes the valid UTF-8 of `bytes` and keeps each other byte b
// as the lone surrogate U+DC00 + b (U+DC80..U+DCFF; a valid sequence never decodes to one),
// so ToOsText gives back exactly the bytes read, and the file opens by its real name.
// Everything else in QString goes out as UTF-8 (other lone surrogates replaced, as Qt does).
[[nodiscard]] QString FromOsText(const char* bytes, std::size_t size);
[[nodiscard]] QByteArray ToOsText(QStringView text);

// A value converted to a 32-bit signed integer: the nearest integer, ties to the even one
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Values beyond the 32-bit range give INT32_MIN or
// INT32_MAX instead of overflowing; NaN gives 0.
[[nodiscard]] std::int32_t ToInt32(double value);

} // namespace zr
