// The conversions of a column's text form, for the forms a server cannot be made to send.
#include "db/FieldConvert.h"

#include "common/DateTime.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace fd::db::convert;
using fd::datetime::kEmptyDate;
using fd::datetime::toDayNumber;

namespace {

qint64 integer(const char* s) { return toInteger(s, std::strlen(s)); }
double floating(const char* s) { return fd::db::convert::toFloating(s, std::strlen(s)); }
bool boolean(const char* s) { return toBoolean(s, std::strlen(s)); }

// The day number of a value, or the sentinel 12345 when the variable was left alone.
double day(DateKind kind, const char* s)
{
    double days = 12345.0;
    toDayNumber(kind, s, std::strlen(s), days);
    return days;
}

} // namespace

TEST(ColumnText, IntegersReadTheLeadingDigits)
{
    EXPECT_EQ(integer("42"), 42);
    EXPECT_EQ(integer("-42"), -42);
    EXPECT_EQ(integer("+7"), 7);
    EXPECT_EQ(integer("12.50"), 12);
    EXPECT_EQ(integer("3abc"), 3);
    EXPECT_EQ(integer("abc"), 0);
    EXPECT_EQ(integer(""), 0);
    EXPECT_EQ(integer("-"), 0);
    EXPECT_EQ(integer("9000000000"), 9000000000LL);
    EXPECT_EQ(integer("-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(integer("99999999999999999999"), std::numeric_limits<qint64>::max());
    // the size, not a NUL, ends the value
    EXPECT_EQ(toInteger("12345", 2), 12);
}

TEST(ColumnText, FloatingPointAndBoolean)
{
    EXPECT_DOUBLE_EQ(floating("3.25"), 3.25);
    EXPECT_DOUBLE_EQ(floating("-0.5"), -0.5);
    EXPECT_DOUBLE_EQ(floating("12.50"), 12.5);
    EXPECT_DOUBLE_EQ(floating("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(floating("7abc"), 7.0);
    EXPECT_EQ(floating("abc"), 0.0);
    EXPECT_EQ(floating(""), 0.0);
    EXPECT_DOUBLE_EQ(fd::db::convert::toFloating("2.75", 3), 2.7);

    EXPECT_FALSE(boolean("0"));
    EXPECT_FALSE(boolean("0.5"));
    EXPECT_TRUE(boolean("1"));
    EXPECT_TRUE(boolean("-1"));
    EXPECT_TRUE(boolean("abc"));
    EXPECT_TRUE(boolean(" 0"));
    EXPECT_TRUE(boolean(""));
}

TEST(ColumnText, DateKindsBuildTheirDateTimeText)
{
    EXPECT_DOUBLE_EQ(day(DateKind::DateTime, "2016-05-31 18:00:00"), toDayNumber(2016, 5, 31, 18, 0, 0));
    EXPECT_DOUBLE_EQ(day(DateKind::DateTime, "2016-05-31 18:00:00.250000"), toDayNumber(2016, 5, 31, 18, 0, 0));
    EXPECT_DOUBLE_EQ(day(DateKind::DateTime, "2016-5-31"), toDayNumber(2016, 5, 31));
    EXPECT_DOUBLE_EQ(day(DateKind::Date, "2016-05-31"), toDayNumber(2016, 5, 31));
    EXPECT_DOUBLE_EQ(day(DateKind::Time, "06:30:15"), toDayNumber(2000, 1, 1, 6, 30, 15));
    EXPECT_DOUBLE_EQ(day(DateKind::Year, "2016"), toDayNumber(2016, 1, 1));
    EXPECT_DOUBLE_EQ(day(DateKind::Year, "1999"), toDayNumber(1999, 1, 1));
    EXPECT_EQ(day(DateKind::Other, "2016-05-31"), 12345.0);
}

TEST(ColumnText, FifthCharacterMustBeADash)
{
    EXPECT_EQ(day(DateKind::DateTime, "12016-05-31 00:00:00"), 0.0);
    EXPECT_EQ(day(DateKind::DateTime, "2016/05/31 00:00:00"), 0.0);
    EXPECT_EQ(day(DateKind::Date, "20160531"), 0.0);
    EXPECT_EQ(day(DateKind::Date, "216-5-31"), 0.0);
    EXPECT_EQ(day(DateKind::Date, ""), 0.0);
    EXPECT_EQ(day(DateKind::Year, "2"), 0.0);
    // TIME is put on "2000-1-1 ", so its own form never matters for this rule
    EXPECT_NE(day(DateKind::Time, "6:00:00"), 0.0);
}

TEST(ColumnText, InvalidCalendarValuesGiveTheEmptyDate)
{
    EXPECT_EQ(day(DateKind::Date, "0000-00-00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::DateTime, "0000-00-00 00:00:00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "2016-00-10"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "2016-13-10"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "2016-05-00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "2016-04-31"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "2015-02-29"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Date, "1900-02-29"), kEmptyDate);
    EXPECT_DOUBLE_EQ(day(DateKind::Date, "2016-02-29"), toDayNumber(2016, 2, 29));
    EXPECT_EQ(day(DateKind::DateTime, "2016-05-31 24:00:00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::DateTime, "2016-05-31 23:60:00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::DateTime, "2016-05-31 23:59:60"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Time, "838:59:59"), kEmptyDate);
    EXPECT_EQ(day(DateKind::Time, "-01:00:00"), kEmptyDate);
    EXPECT_EQ(day(DateKind::DateTime, "2016-05-31 garbage"), kEmptyDate);
    EXPECT_EQ(day(DateKind::DateTime, "abcd-ef-gh"), kEmptyDate);
}
