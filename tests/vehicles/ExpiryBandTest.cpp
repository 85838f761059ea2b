// The expiry rule of a date: the month offset of a date text from the login month, its colour band
// and the band's colours.
#include "vehicles/ExpiryBand.h"

#include <QColor>
#include <cstring>
#include <gtest/gtest.h>

using namespace fd::vehicles;

namespace {

ExpiryBand bandOf(const char* text, int loginYear, int loginMonth)
{
    return expiryBandOfText(text, text ? std::strlen(text) : 0, loginYear, loginMonth);
}

TEST(ExpiryRule, BandsAroundTheLoginMonthOfMay2016)
{
    // Login on 2016-05-31.
    EXPECT_EQ(bandOf("2016-07-01", 2016, 5), ExpiryBand::farAhead);
    EXPECT_EQ(bandOf("2030-01-01", 2016, 5), ExpiryBand::farAhead);
    EXPECT_EQ(bandOf("2016-06-01", 2016, 5), ExpiryBand::dueNextMonth);
    EXPECT_EQ(bandOf("2016-06-30 23:59:59", 2016, 5), ExpiryBand::dueNextMonth);
    EXPECT_EQ(bandOf("2016-05-01", 2016, 5), ExpiryBand::dueThisMonth);
    EXPECT_EQ(bandOf("2016-05-31", 2016, 5), ExpiryBand::dueThisMonth);
    EXPECT_EQ(bandOf("2016-04-30", 2016, 5), ExpiryBand::expiredRecently);
    EXPECT_EQ(bandOf("2016-03-01", 2016, 5), ExpiryBand::expiredRecently);
    EXPECT_EQ(bandOf("2016-02-29", 2016, 5), ExpiryBand::expiredLong);
    EXPECT_EQ(bandOf("1999-05-31", 2016, 5), ExpiryBand::expiredLong);
    EXPECT_EQ(bandOf("", 2016, 5), ExpiryBand::expiredLong);
    EXPECT_EQ(bandOf(nullptr, 2016, 5), ExpiryBand::expiredLong);
    EXPECT_EQ(bandOf("0000-00-00", 2016, 5), ExpiryBand::expiredLong);
}

TEST(ExpiryRule, BandsAcrossTheTurnOfTheYear)
{
    // Login in December 2016: January is next month, February two months ahead.
    EXPECT_EQ(bandOf("2017-01-31", 2016, 12), ExpiryBand::dueNextMonth);
    EXPECT_EQ(bandOf("2017-02-01", 2016, 12), ExpiryBand::farAhead);
    EXPECT_EQ(bandOf("2016-12-01", 2016, 12), ExpiryBand::dueThisMonth);
    EXPECT_EQ(bandOf("2016-10-01", 2016, 12), ExpiryBand::expiredRecently);
    EXPECT_EQ(bandOf("2016-09-30", 2016, 12), ExpiryBand::expiredLong);
    // Login in January: December of the year before is one month back.
    EXPECT_EQ(bandOf("2016-12-31", 2017, 1), ExpiryBand::expiredRecently);
    EXPECT_EQ(bandOf("2016-10-31", 2017, 1), ExpiryBand::expiredLong);
    EXPECT_DOUBLE_EQ(monthOffset(2018, 2, 2016, 12), 14.0);
    EXPECT_DOUBLE_EQ(monthOffset(100, 1, 2016, 5), -22996.0);
}

TEST(ExpiryRule, BandColours)
{
    EXPECT_EQ(bandBackground(ExpiryBand::farAhead, false), QColor(0, 255, 0));
    EXPECT_EQ(bandBackground(ExpiryBand::dueNextMonth, false), QColor(255, 128, 0));
    EXPECT_EQ(bandBackground(ExpiryBand::dueNextMonth, true), QColor(192, 96, 0));
    EXPECT_EQ(bandBackground(ExpiryBand::dueThisMonth, true), QColor(255, 0, 0));
    EXPECT_EQ(bandBackground(ExpiryBand::expiredRecently, false), QColor(128, 0, 0));
    EXPECT_EQ(bandBackground(ExpiryBand::expiredLong, false), QColor(0, 0, 0));
    EXPECT_FALSE(bandForeground(ExpiryBand::farAhead).isValid());
    EXPECT_FALSE(bandForeground(ExpiryBand::dueNextMonth).isValid());
    EXPECT_FALSE(bandForeground(ExpiryBand::dueThisMonth).isValid());
    EXPECT_EQ(bandForeground(ExpiryBand::expiredRecently), QColor(255, 255, 255));
    EXPECT_EQ(bandForeground(ExpiryBand::expiredLong), QColor(255, 255, 255));
    // Fractional offsets within the tolerance count as whole months.
    EXPECT_EQ(expiryBand(1.00000005), ExpiryBand::dueNextMonth);
    EXPECT_EQ(expiryBand(-0.00000005), ExpiryBand::dueThisMonth);
    EXPECT_EQ(expiryBand(-2.00000005), ExpiryBand::expiredRecently);
}

} // namespace
