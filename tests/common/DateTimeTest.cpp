// Day numbers since 1899-12-30, the empty date, the reading of date texts and the SQL date text.
#include "common/DateTime.h"

#include <QDate>
#include <QDateTime>
#include <cmath>
#include <cstring>
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

TEST(DateTimeText, ReadAsTheDatabaseWritesIt)
{
    const struct {
        const char* text;
        int y, m, d, h, mi, s;
    } good[] = {{"2016-05-31", 2016, 5, 31, 0, 0, 0}, {"2016-3-5", 2016, 3, 5, 0, 0, 0},
        {"2016-02-29", 2016, 2, 29, 0, 0, 0}, {"2016-06-01 13:45:59", 2016, 6, 1, 13, 45, 59},
        {"2016-05-31T18:00:00", 2016, 5, 31, 18, 0, 0}, {"2016-05-31 18:00:00.250000", 2016, 5, 31, 18, 0, 0},
        {"2000-1-1 0:0:0", 2000, 1, 1, 0, 0, 0}, {"9999-12-31 23:59:59", 9999, 12, 31, 23, 59, 59},
        {"0100-01-01", 100, 1, 1, 0, 0, 0}};
    for (const auto& g : good) {
        DateTimeParts p;
        ASSERT_TRUE(readDateTimeText(g.text, std::strlen(g.text), p)) << g.text;
        EXPECT_EQ((QList<int> {p.year, p.month, p.day, p.hour, p.minute, p.second}),
            (QList<int> {g.y, g.m, g.d, g.h, g.mi, g.s}))
            << g.text;
    }
    // Not a date: empty, the zero date, days and times that do not exist, junk, truncated or
    // trailing text, signs, a year past 9999.
    for (const char* bad : {"", "0000-00-00", "0000-00-00 00:00:00", "2015-02-29", "1900-02-29", "2016-13-01",
             "2016-04-31", "2016-00-10", "2016-05-00", "abc", "abcd-ef-gh", "2016-05", "2016/05/31", "2016-05-31x",
             " 2016-05-31", "2016-05-31 ", "2016-05-31 24:00:00", "2016-05-31 23:60:00", "2016-05-31 23:59:60",
             "2000-1-1 838:59:59", "2000-1-1 -01:00:00", "2016-05-31 12:00", "-2016-05-31", "10000-01-01",
             "99999999999-01-01"}) {
        DateTimeParts p;
        p.year = 7;
        EXPECT_FALSE(readDateTimeText(bad, std::strlen(bad), p)) << bad;
        EXPECT_EQ(p.year, 7) << "left alone: " << bad;
    }
    DateTimeParts p;
    EXPECT_FALSE(readDateTimeText(nullptr, 0, p));
    // the size, not a NUL, ends the text
    ASSERT_TRUE(readDateTimeText("2016-05-31 garbage", 10, p));
    EXPECT_EQ(p.day, 31);
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
