// GBK conversion, trimming, text to number, tolerance and byte-exact comparison.
#include "common/Text.h"

#include <gtest/gtest.h>

using namespace fd::text;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

} // namespace

TEST(GbkText, ChineseRoundTripsByteExactIncludingTrailBackslashCharacters)
{
    // 縗 籠 淺 乗 end in byte 0x5C, the backslash: they must survive as one character each.
    const QString text = QStringLiteral("豫A12345 车主縗籠淺乗");
    const GbkResult gbk = toGbk(text);
    ASSERT_TRUE(gbk.ok()) << gbk.badIndex;
    EXPECT_EQ(gbk.bytes, hex("d4a541313233343520b3b5d6f7bf5cbb5c9c5c815c"));
    EXPECT_EQ(fromGbk(gbk.bytes), text);
    EXPECT_EQ(toGbk(QStringLiteral("é")).bytes, hex("a8a6"));
    EXPECT_EQ(fromGbk(QByteArray()), QString());
    EXPECT_TRUE(toGbk(QString()).ok());
}

TEST(GbkText, ByteLengthCountsTwoBytesPerChineseCharacter)
{
    EXPECT_EQ(gbkLength(QStringLiteral("豫A12345")), 8);
    EXPECT_EQ(gbkLength(QStringLiteral("豫A123456")), 9);
    EXPECT_EQ(gbkLength(QStringLiteral("\u3000")), 2);
    EXPECT_EQ(gbkLength(QString()), 0);
    EXPECT_EQ(gbkLength(QStringLiteral("车😀")), -1);
}

TEST(GbkText, CharacterOutsideGbkIsRefusedWithItsPositionNeverReplaced)
{
    const GbkResult emoji = toGbk(QStringLiteral("ab😀c"));
    EXPECT_FALSE(emoji.ok());
    EXPECT_EQ(emoji.badIndex, 2);
    EXPECT_TRUE(emoji.bytes.isEmpty()) << "no partial or replaced text may come back";

    const GbkResult afterChinese = toGbk(QStringLiteral("豫A1ก"));
    EXPECT_EQ(afterChinese.badIndex, 3);

    QString loneSurrogate = QStringLiteral("车x");
    loneSurrogate.append(QChar(0xD800));
    loneSurrogate.append(QLatin1Char('y'));
    EXPECT_EQ(toGbk(loneSurrogate).badIndex, 2);

    QString trailingSurrogate = QStringLiteral("车");
    trailingSurrogate.append(QChar(0xD83D));
    EXPECT_EQ(toGbk(trailingSurrogate).badIndex, 1);
}

TEST(GbkText, InvalidBytesDecodeAsReplacementThatCannotBeWrittenBack)
{
    // 0xFF is never a GBK byte; a lead byte at the very end has lost its second half.
    const QString decoded = fromGbk(hex("41ff42b3b5b3"));
    EXPECT_EQ(decoded, QStringLiteral("A\uFFFDB车\uFFFD"));
    EXPECT_FALSE(toGbk(decoded).ok());
    EXPECT_EQ(toGbk(decoded).badIndex, 1);
}

TEST(GbkText, EmbeddedNulAndControlBytesSurvive)
{
    const QByteArray bytes("a\0b\tc\n", 6);
    const QString text = fromGbk(bytes);
    EXPECT_EQ(text.size(), 6);
    EXPECT_EQ(toGbk(text).bytes, bytes);
}

TEST(Trimming, RemovesOnlyAsciiAndFullWidthSpaces)
{
    EXPECT_EQ(trimSpaces(QStringLiteral(" \u3000车\t \u3000 ")), QStringLiteral("车\t"));
    EXPECT_EQ(trimSpaces(QStringLiteral("\t车 辆\n")), QStringLiteral("\t车 辆\n"));
    EXPECT_EQ(trimSpaces(QStringLiteral("\u00A0车\u00A0")), QStringLiteral("\u00A0车\u00A0"));
    EXPECT_EQ(trimSpaces(QStringLiteral("  \u3000\u3000 ")), QString());
    EXPECT_EQ(trimSpaces(QString()), QString());
    // A text of spaces is not empty until it is trimmed.
    EXPECT_NE(compareBytes(QStringLiteral("  "), QString()), 0);
    EXPECT_EQ(compareBytes(trimSpaces(QStringLiteral("  ")), QString()), 0);
}

TEST(TextToNumber, FullWidthDigitsSignsAndPointCount)
{
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("１２３")), 123.0);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("－４５．５元")), -45.5);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("＋7")), 7.0);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("-12.25")), -12.25);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("3500元/年")), 3500.0);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("5.")), 5.0);
}

TEST(TextToNumber, TextNotBeginningWithANumberIsZero)
{
    EXPECT_EQ(toNumber(QString()), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral("元100")), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral("-")), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral(".")), 0.0);
    // Only decimal numbers: no hexadecimal, infinity or NaN spellings.
    EXPECT_EQ(toNumber(QStringLiteral("0x1A")), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral("inf")), 0.0);
    EXPECT_EQ(toNumber(QStringLiteral("nan")), 0.0);
    // Whatever the locale, the point is the decimal point and a comma ends the number.
    EXPECT_DOUBLE_EQ(toNumber(QStringLiteral("1,234.5")), 1.0);
}

TEST(Tolerance, BelowAndEqualAllowOneTenMillionth)
{
    EXPECT_FALSE(isBelow(5.0 - 5e-8, 5.0));
    EXPECT_TRUE(isBelow(5.0 - 2e-7, 5.0));
    EXPECT_FALSE(isBelow(5.0, 5.0));
    EXPECT_FALSE(isBelow(6.0, 5.0));
    EXPECT_TRUE(isEqual(5.0 + 5e-8, 5.0));
    EXPECT_TRUE(isEqual(5.0 - 5e-8, 5.0));
    EXPECT_FALSE(isEqual(5.0 + 2e-7, 5.0));
    EXPECT_FALSE(isEqual(5.0 - 2e-7, 5.0));
    // 0.1 + 0.2 is not exactly 0.3 in binary, yet equal within the tolerance
    EXPECT_TRUE(isEqual(0.1 + 0.2, 0.3));
}

TEST(ByteComparison, ComparesGbkBytesUnsignedWithoutFolding)
{
    EXPECT_EQ(compareBytes(QStringLiteral("豫A"), QStringLiteral("豫A")), 0);
    EXPECT_NE(compareBytes(QStringLiteral("a"), QStringLiteral("A")), 0);
    EXPECT_NE(compareBytes(QStringLiteral("车 "), QStringLiteral("车")), 0);
    EXPECT_LT(compareBytes(QStringLiteral("车"), QStringLiteral("车a")), 0);
    // unsigned: a lead byte above 0x7F sorts after every ASCII letter
    EXPECT_GT(compareBytes(QStringLiteral("车"), QStringLiteral("z")), 0);
    // GBK order, not Unicode order: 一 is D2BB, 啊 is B0A1 (in Unicode 一 comes first)
    EXPECT_GT(compareBytes(QStringLiteral("一"), QStringLiteral("啊")), 0);
    EXPECT_LT(compareBytes(QStringLiteral("啊"), QStringLiteral("一")), 0);
}
