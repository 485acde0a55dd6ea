// Feeds arbitrary texts to the number reader, the NUL cutter and the integer conversion, and
// checks the properties callers rely on.
#include "TextHelpers.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

void Exercise(const QString& text) {
    const double value = zr::TextValue(text);
    Check(!std::isnan(value));
    // A character that cannot belong to a number never changes the value read before it.
    Check(zr::TextValue(text + u'x') == value);
    Check(zr::TextValue(text + QChar(u'\0') + "123") == value);
    const std::int32_t rounded = zr::ToInt32(value);
    Check(std::fabs(value - rounded) <= 0.5 || rounded == INT32_MAX || rounded == INT32_MIN);

    const QString cut = zr::TrimAtNull(text);
    Check(!cut.contains(QChar(u'\0')));
    Check(text.startsWith(cut));
    Check(text.contains(QChar(u'\0')) ? text.at(cut.size()) == QChar(u'\0') : cut.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    Exercise(QString::fromUtf8(bytes, static_cast<qsizetype>(size)));
    Exercise(QString::fromLatin1(bytes, static_cast<qsizetype>(size)));
    (void)zr::TrimAtNull(bytes, size);
    return 0;
}
