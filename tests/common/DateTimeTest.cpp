// Day numbers since 1899-12-30, the empty date and the SQL date text.
#include "common/DateTime.h"

#include <QDate>
#include <QDateTime>
#include <cmath>
#include <gtest/gtest.h>

using namespace fd::datetime;

TEST(DayNumbers, KnownDates)
{
    EXPECT_EQ(daysFromCivil(1899, 12, 30), 0);
    EXPECT_EQ(daysFromCivil(1899, 12, 31), 1);
    EXPECT_EQ(daysFromCivil(1900, 1, 1), 2);
    EXPECT_EQ(daysFromCivil(2000, 2, 29), 36585);
    EXPECT_EQ(daysFromCivil(2016, 5, 31), 42521);
    EXPECT_EQ(daysFromCivil(9999, 12, 31), 2958465);
    EXPECT_EQ(daysFromCivil(100, 1, 1), -657434);
    EXPECT_EQ(kEmptyDate, static_cast<double>(daysFromCivil(100, 1, 1)));
}

TEST(DayNumbers, EveryDayFromYear100To9999AgreesWithTheCalendar)
{
    // QDate's Julian day is an independent calendar: both must count the same days.
    const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    const QDate first(100, 1, 1);
    const QDate last(9999, 12, 31);
    int y = 0, m = 0, d = 0;
    for (qint64 jd = first.toJulianDay(); jd <= last.toJulianDay(); ++jd) {
        const QDate date = QDate::fromJulianDay(jd);
        const qint64 days = jd - epoch;
        ASSERT_EQ(daysFromCivil(date.year(), date.month(), date.day()), days) << date.toString(Qt::ISODate).toStdString();
        civilFromDays(days, y, m, d);
        ASSERT_TRUE(y == date.year() && m == date.month() && d == date.day())
            << days << " gave " << y << "-" << m << "-" << d;
    }
}

TEST(DayNumbers, TimeOfDayIsTheFraction)
{
    EXPECT_DOUBLE_EQ(toDayNumber(2016, 5, 31), 42521.0);
    EXPECT_DOUBLE_EQ(toDayNumber(2016, 5, 31, 12, 0, 0), 42521.5);
    EXPECT_DOUBLE_EQ(toDayNumber(2016, 5, 31, 18, 0, 0), 42521.75);
    EXPECT_NEAR(toDayNumber(2016, 5, 31, 23, 59, 59), 42521.0 + 86399.0 / 86400.0, 1e-9);
    EXPECT_DOUBLE_EQ(toDayNumber(QDateTime(QDate(2016, 3, 5), QTime(6, 0, 0))), toDayNumber(2016, 3, 5, 6, 0, 0));

    EXPECT_EQ(fromDayNumber(42521.75), QDateTime(QDate(2016, 5, 31), QTime(18, 0, 0)));
    EXPECT_EQ(fromDayNumber(toDayNumber(2016, 3, 5, 13, 14, 15)), QDateTime(QDate(2016, 3, 5), QTime(13, 14, 15)));
    EXPECT_EQ(fromDayNumber(kEmptyDate), QDateTime(QDate(100, 1, 1), QTime(0, 0)));
    EXPECT_EQ(fromDayNumber(0.0), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));

    int y = 0, m = 0, d = 0;
    dateOf(42521.99, y, m, d);
    EXPECT_TRUE(y == 2016 && m == 5 && d == 31);
    dateOf(kEmptyDate, y, m, d);
    EXPECT_TRUE(y == 100 && m == 1 && d == 1);
    // before the epoch the time still counts forward from the start of the day
    dateOf(toDayNumber(1899, 12, 29, 12, 0, 0), y, m, d);
    EXPECT_TRUE(y == 1899 && m == 12 && d == 29);
}

TEST(CalendarValidity, MonthLengthsAndLeapYears)
{
    EXPECT_TRUE(isValidDate(2016, 2, 29));
    EXPECT_FALSE(isValidDate(2015, 2, 29));
    EXPECT_FALSE(isValidDate(1900, 2, 29));
    EXPECT_TRUE(isValidDate(2000, 2, 29));
    EXPECT_FALSE(isValidDate(2016, 4, 31));
    EXPECT_TRUE(isValidDate(2016, 12, 31));
    EXPECT_FALSE(isValidDate(2016, 13, 1));
    EXPECT_FALSE(isValidDate(2016, 0, 1));
    EXPECT_FALSE(isValidDate(2016, 1, 0));
    EXPECT_FALSE(isValidDate(10000, 1, 1));
    EXPECT_FALSE(isValidDate(0, 0, 0));
    EXPECT_EQ(daysInMonth(2016, 2), 29);
    EXPECT_EQ(daysInMonth(2017, 2), 28);
    EXPECT_EQ(daysInMonth(2017, 13), 0);
}

TEST(SqlDateText, NoLeadingZeros)
{
    EXPECT_EQ(dateText(QDate(2016, 3, 5)), QStringLiteral("2016-3-5"));
    EXPECT_EQ(dateText(QDate(2016, 12, 31)), QStringLiteral("2016-12-31"));
    EXPECT_EQ(dateText(2016, 10, 1), QStringLiteral("2016-10-1"));
    EXPECT_EQ(dateText(100, 1, 1), QStringLiteral("100-1-1"));
}

TEST(Clock, NowHasWholeSecondsAndIsNow)
{
    const double now = nowInSeconds();
    const double seconds = (now - std::floor(now)) * 86400.0;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-4);
    const QDateTime clock = QDateTime::currentDateTime();
    EXPECT_LE(std::abs(fromDayNumber(now).secsTo(clock)), 2);
}
