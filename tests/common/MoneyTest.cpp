// Fee texts read to whole fen, and amounts written back.
#include "common/Money.h"

#include <gtest/gtest.h>

using fd::money::Amount;

TEST(Money, FeeTextsReadToWholeFenOrAreReportedUnreadable)
{
    const struct {
        const char16_t* text;
        Amount::State state;
        qint64 fen;
    } cases[] = {
        {u"1200", Amount::Read, 120000},
        {u"1,200", Amount::Read, 120000},
        {u"1，200", Amount::Read, 120000},
        {u"1,234,567.89", Amount::Read, 123456789},
        {u"１２００", Amount::Read, 120000},
        {u"1200元", Amount::Read, 120000},
        {u" 300 ", Amount::Read, 30000},
        {u"\u3000３００ 元\t", Amount::Read, 30000},
        {u"1200.5", Amount::Read, 120050},
        {u"2850.50", Amount::Read, 285050},
        {u"0.05", Amount::Read, 5},
        {u"-12.3", Amount::Read, -1230},
        {u"", Amount::Empty, 0},
        {u" \u3000 ", Amount::Empty, 0},
        {u"一千", Amount::Unreadable, 0},
        {u"1200/年", Amount::Unreadable, 0},
        {u"12.345", Amount::Unreadable, 0},
        {u"1,20", Amount::Unreadable, 0},
        {u"1200,", Amount::Unreadable, 0},
        {u",200", Amount::Unreadable, 0},
        {u"1200.", Amount::Unreadable, 0},
        {u".5", Amount::Unreadable, 0},
        {u"元", Amount::Unreadable, 0},
        {u"12 00", Amount::Unreadable, 0},
        {u"99999999999999", Amount::Unreadable, 0},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        const Amount a = fd::money::readAmount(text);
        EXPECT_EQ(a.state, c.state);
        if (c.state == Amount::Read) {
            EXPECT_EQ(a.fen, c.fen);
        }
    }
}

TEST(Money, AmountsAreWrittenWithTwoDecimals)
{
    EXPECT_EQ(fd::money::formatFen(285050), QStringLiteral("2850.50"));
    EXPECT_EQ(fd::money::formatFen(5), QStringLiteral("0.05"));
    EXPECT_EQ(fd::money::formatFen(0), QStringLiteral("0.00"));
    EXPECT_EQ(fd::money::formatFen(-1230), QStringLiteral("-12.30"));
}

TEST(Money, AmountsInCapitalsAsAReceiptWritesThem)
{
    const struct {
        qint64 fen;
        const char16_t* text;
    } cases[] = {
        {0, u"零元整"},
        {5, u"零元零伍分"},
        {50, u"零元伍角"},
        {55, u"零元伍角伍分"},
        {1000, u"壹拾元整"},
        {1500, u"壹拾伍元整"},
        {100150, u"壹仟零壹元伍角"},
        {120000, u"壹仟贰佰元整"},
        {120005, u"壹仟贰佰元零伍分"},
        {123050, u"壹仟贰佰叁拾元伍角"},
        {1000500, u"壹万零伍元整"},
        {10001000, u"壹拾万零壹拾元整"},
        {100000000, u"壹佰万元整"},
        {10000000000, u"壹亿元整"},
        {10000000100, u"壹亿零壹元整"},
        {10100000000, u"壹亿零壹佰万元整"},
        {100000000000000, u"壹万亿元整"},
        {100000001000000, u"壹万亿零壹万元整"},
        {999999999999999, u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
        {-120050, u"负壹仟贰佰元伍角"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fd::money::capitals(c.fen), QString::fromUtf16(c.text)) << c.fen;
}
