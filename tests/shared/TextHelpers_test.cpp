#include "TextHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using zr::TextValue;
using zr::ToInt32;
using zr::TrimAtNull;

// The leading number of a reply, as the program reads it: a NUL ends it, only ASCII digits count,
// and a run of digits too long for any number does not wrap round.
TEST(TextValue, ReadsTheLeadingNumber) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const struct {
        QString text;
        double value;
    } table[] = {
        {"", 0},
        {"0", 0},
        {"3000", 3000},
        {"   42", 42},
        {"+7", 7},
        {"-15", -15},
        {"  -2.5", -2.5},
        {"1.5", 1.5},
        {".5", 0.5},
        {"5.", 5},
        {"-.25", -0.25},
        {"1.2.3", 1.2},
        {"12abc", 12},
        {"1e3", 1},
        {"1,5", 1},
        {"12 34", 12},
        {"abc", 0},
        {"-", 0},
        {".", 0},
        {"+-3", 0},
        {"- 5", 0},
        {"\t5", 0},
        {"2147483648", 2147483648.0},
        {"007", 7},
        {QStringView(u"1234\0"
                     u"56",
                     7)
             .toString(),
         1234},
        {QString(30, QChar(u'\0')), 0},
        {QStringView(u"\0"
                     u"99",
                     3)
             .toString(),
         0},
        {QString(400, QChar(u'9')), kInf},
        {"-" + QString(400, QChar(u'9')), -kInf},
        {"0." + QString(400, QChar(u'0')) + "1", 0},
        {"12345678901234567890", 12345678901234567890.0},
        {QString::fromUtf8("\u0664\u0662"), 0}, // Arabic-Indic digits
        {QString::fromUtf8("\uFF11"), 0},       // full-width one
    };
    for (const auto& row : table) {
        EXPECT_DOUBLE_EQ(TextValue(row.text), row.value) << '"' << row.text.toStdString() << '"';
    }
}

// The text before the first NUL; without a NUL, nothing (a reply that was never finished).
// Byte buffers are UTF-8 and never read past their size.
TEST(TrimAtNull, CutsAtTheFirstNulAndGivesNothingWithoutOne) {
    const struct {
        QString text;
        QString trimmed;
    } table[] = {
        {QStringView(u"abc\0def\0", 8).toString(), "abc"},
        {QStringView(u"\0abc", 4).toString(), ""},
        {QString(5, QChar(u'\0')), ""},
        {"no terminator", ""},
        {QString(), ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(TrimAtNull(row.text), row.trimmed) << row.text.toStdString();
    }
    const char name[] = "Caf\xC3\xA9 \xE2\x99\xAB.mp3\0garbage";
    const char full[4] = {'a', 'b', 'c', 'd'};
    const struct {
        const char* bytes;
        std::size_t size;
        QString trimmed;
    } bytes[] = {
        {name, sizeof name, QString::fromUtf8("Café ♫.mp3")},
        {full, sizeof full, ""},
        {nullptr, 10, ""},
    };
    for (const auto& row : bytes) {
        EXPECT_EQ(TrimAtNull(row.bytes, row.size), row.trimmed) << row.size;
    }
}

// Nearest with ties to even; saturated outside the 32-bit range; NaN is 0.
TEST(ToInt32, RoundsToNearestEvenAndSaturates) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::int32_t rounded;
    } table[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999, 2},
        {2.5001, 3},
        {-7.6, -8},
        {183456, 183456},
        {2147483647.0, kMax},
        {2147483647.4, kMax},
        {2147483648.0, kMax},
        {1e300, kMax},
        {kInf, kMax},
        {-2147483648.0, kMin},
        {-2147483649.0, kMin},
        {-kInf, kMin},
        {std::nan(""), 0},
        {2147483646.5, 2147483646},
        {TextValue(QStringView(u"99999999999\0", 12)), kMax}, // a reply, end to end
        {TextValue(QStringView(u"215040\0", 7)), 215040},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ToInt32(row.value), row.rounded) << row.value;
    }
}

} // namespace

namespace {

// Bytes from the file system come back unchanged, whatever they are; valid UTF-8 reads as
// its characters and nothing else turns into one.
TEST(OsText, KeepsEveryByteSequenceAndDecodesOnlyValidUtf8) {
    struct Case {
        QByteArray bytes;
        QString text; // what the program holds
    };
    const Case cases[] = {
        {"plain.mp3", "plain.mp3"},
        {"caf\xC3\xA9.mp3", QString::fromUtf8("caf\xC3\xA9.mp3")},
        {"caf\xE9.mp3", QStringView(u"caf\xDCE9.mp3").toString()},       // Latin-1
        {"\xF0\x9F\x8E\xB5", QString::fromUtf8("\xF0\x9F\x8E\xB5")},     // beyond 16 bits
        {"\xC0\xAF", QStringView(u"\xDCC0\xDCAF").toString()},           // overlong "/"
        {"\xED\xB2\x80", QStringView(u"\xDCED\xDCB2\xDC80").toString()}, // an encoded escape
        {"\xF4\x90\x80\x80", QStringView(u"\xDCF4\xDC90\xDC80\xDC80").toString()}, // above U+10FFFF
        {"ab\xE2\x82", QStringView(u"ab\xDCE2\xDC82").toString()},                 // cut at the end
        {"\xE2\x82"
         "A",
         QStringView(u"\xDCE2\xDC82"
                     "A")
             .toString()}, // cut in the middle
    };
    for (const Case& c : cases) {
        const QString text = zr::FromOsText(c.bytes.constData(), c.bytes.size());
        EXPECT_EQ(text, c.text) << c.bytes.toHex().toStdString();
        EXPECT_EQ(zr::ToOsText(text), c.bytes) << c.bytes.toHex().toStdString();
    }
    // Every byte sequence survives the round trip.
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        for (int i = 0; i < round % 23; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes.append(static_cast<char>(seed >> 24));
        }
        ASSERT_EQ(zr::ToOsText(zr::FromOsText(bytes.constData(), bytes.size())), bytes)
            << bytes.toHex().toStdString();
    }
    EXPECT_EQ(TrimAtNull("caf\xE9\0junk", 10), QStringView(u"caf\xDCE9").toString());
}

} // namespace
