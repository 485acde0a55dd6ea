#include "TextHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using zr::TextValue;
using zr::ToInt32;
using zr::TrimAtNull;

struct ValueCase {
    QString text;
    double value;
};

TEST(TextValue, ReadsTheLeadingNumber) {
    const ValueCase cases[] = {
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
    };
    for (const ValueCase& c : cases) {
        EXPECT_DOUBLE_EQ(TextValue(c.text), c.value) << '"' << c.text.toStdString() << '"';
    }
}

TEST(TextValue, NulEndsTheNumber) {
    EXPECT_EQ(TextValue(QStringView(u"1234\0"
                                    u"56",
                                    7)),
              1234);
    EXPECT_EQ(TextValue(QString(30, QChar(u'\0'))), 0);
    EXPECT_EQ(TextValue(QStringView(u"\0"
                                    u"99",
                                    3)),
              0);
}

TEST(TextValue, HugeDigitRunsDoNotWrap) {
    EXPECT_TRUE(std::isinf(TextValue(QString(400, QChar(u'9')))));
    EXPECT_LT(TextValue("-" + QString(400, QChar(u'9'))), 0);
    EXPECT_EQ(TextValue("0." + QString(400, QChar(u'0')) + "1"), 0);
    EXPECT_DOUBLE_EQ(TextValue(u"12345678901234567890"), 12345678901234567890.0);
}

TEST(TextValue, OnlyAsciiDigitsCount) {
    EXPECT_EQ(TextValue(QString::fromUtf8("\u0664\u0662")), 0); // Arabic-Indic digits
    EXPECT_EQ(TextValue(QString::fromUtf8("\uFF11")), 0);       // full-width one
}

TEST(TrimAtNull, CutsAtTheFirstNul) {
    EXPECT_EQ(TrimAtNull(QStringView(u"abc\0def\0", 8)), "abc");
    EXPECT_EQ(TrimAtNull(QStringView(u"\0abc", 4)), "");
    EXPECT_EQ(TrimAtNull(QString(5, QChar(u'\0'))), "");
}

TEST(TrimAtNull, NoNulGivesEmpty) {
    EXPECT_EQ(TrimAtNull(QString("no terminator")), "");
    EXPECT_EQ(TrimAtNull(QString()), "");
}

TEST(TrimAtNull, ByteBuffersAreUtf8AndBounded) {
    const char name[] = "Caf\xC3\xA9 \xE2\x99\xAB.mp3\0garbage";
    EXPECT_EQ(TrimAtNull(name, sizeof name), QString::fromUtf8("Café ♫.mp3"));
    const char full[4] = {'a', 'b', 'c', 'd'}; // no NUL within the size: nothing is read past it
    EXPECT_EQ(TrimAtNull(full, sizeof full), "");
    EXPECT_EQ(TrimAtNull(nullptr, 10), "");
}

TEST(ToInt32, RoundsToNearestWithTiesToEven) {
    EXPECT_EQ(ToInt32(0.5), 0);
    EXPECT_EQ(ToInt32(1.5), 2);
    EXPECT_EQ(ToInt32(2.5), 2);
    EXPECT_EQ(ToInt32(3.5), 4);
    EXPECT_EQ(ToInt32(-0.5), 0);
    EXPECT_EQ(ToInt32(-1.5), -2);
    EXPECT_EQ(ToInt32(-2.5), -2);
    EXPECT_EQ(ToInt32(2.4999), 2);
    EXPECT_EQ(ToInt32(2.5001), 3);
    EXPECT_EQ(ToInt32(-7.6), -8);
    EXPECT_EQ(ToInt32(183456), 183456);
}

TEST(ToInt32, SaturatesOutsideTheRange) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(ToInt32(2147483647.0), kMax);
    EXPECT_EQ(ToInt32(2147483647.4), kMax);
    EXPECT_EQ(ToInt32(2147483648.0), kMax);
    EXPECT_EQ(ToInt32(1e300), kMax);
    EXPECT_EQ(ToInt32(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(ToInt32(-2147483648.0), kMin);
    EXPECT_EQ(ToInt32(-2147483649.0), kMin);
    EXPECT_EQ(ToInt32(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(ToInt32(std::nan("")), 0);
    EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
}

TEST(ToInt32, ReadsRepliesEndToEnd) {
    EXPECT_EQ(ToInt32(TextValue(QStringView(u"99999999999\0", 12))), 2147483647);
    EXPECT_EQ(ToInt32(TextValue(QStringView(u"215040\0", 7))), 215040);
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
