#include "common/DateTime.h"

#include <cmath>

namespace fd::datetime {
namespace {

// days_from_civil of 1899-12-30 relative to 1970-01-01
qint64 unixDays(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

const qint64 kEpoch = unixDays(1899, 12, 30);

// An unsigned decimal number at p (its value capped far above any valid field); false when there
// is no digit.
bool readNumber(const char*& p, const char* end, int& value)
{
    const char* start = p;
    value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        if (value < 100000000)
            value = value * 10 + (*p - '0');
    return p > start;
}

bool expect(const char*& p, const char* end, char c)
{
    if (p == end || *p != c)
        return false;
    ++p;
    return true;
}

} // namespace

bool readDateTimeText(const char* data, std::size_t size, DateTimeParts& parts)
{
    if (!data)
        return false;
    const char* p = data;
    const char* end = data + size;
    DateTimeParts r;
    if (!readNumber(p, end, r.year) || !expect(p, end, '-') || !readNumber(p, end, r.month) || !expect(p, end, '-')
        || !readNumber(p, end, r.day))
        return false;
    if (p < end) {
        if (*p != ' ' && *p != 'T')
            return false;
        ++p;
        if (!readNumber(p, end, r.hour) || !expect(p, end, ':') || !readNumber(p, end, r.minute)
            || !expect(p, end, ':') || !readNumber(p, end, r.second))
            return false;
        if (p < end && *p == '.') {
            ++p;
            int fraction = 0;
            readNumber(p, end, fraction); // a fraction of a second does not count
        }
        if (p != end)
            return false;
    }
    if (!isValidDate(r.year, r.month, r.day) || r.hour > 23 || r.minute > 59 || r.second > 59)
        return false;
    parts = r;
    return true;
}

qint64 daysFromCivil(int year, int month, int day)
{
    return unixDays(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch;
}

void civilFromDays(qint64 days, int& year, int& month, int& day)
{
    qint64 z = days + kEpoch + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(y + (m <= 2));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

int daysInMonth(int year, int month)
{
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return lengths[month - 1];
}

bool isValidDate(int year, int month, int day)
{
    return year >= 0 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

double toDayNumber(int year, int month, int day, int hour, int minute, int second)
{
    const double whole = static_cast<double>(daysFromCivil(year, month, day));
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the epoch the fraction still counts forward in time from the day's start, so that
    // the day number keeps its calendar day when truncated towards the day.
    return whole + fraction;
}

double toDayNumber(const QDateTime& dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    return toDayNumber(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

void dateOf(double days, int& year, int& month, int& day)
{
    civilFromDays(static_cast<qint64>(std::floor(days)), year, month, day);
}

QDateTime fromDayNumber(double days)
{
    const double whole = std::floor(days);
    int y = 0, m = 0, d = 0;
    civilFromDays(static_cast<qint64>(whole), y, m, d);
    const int seconds = static_cast<int>(std::lround((days - whole) * 86400.0));
    return QDateTime(QDate(y, m, d), QTime(0, 0)).addSecs(seconds);
}

QString dateText(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3").arg(year).arg(month).arg(day);
}

QString dateText(const QDate& date)
{
    return dateText(date.year(), date.month(), date.day());
}

double nowInSeconds()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QTime t = now.time();
    return toDayNumber(QDateTime(now.date(), QTime(t.hour(), t.minute(), t.second())));
}

} // namespace fd::datetime
