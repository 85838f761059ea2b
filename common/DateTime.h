#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstddef>

// Dates as the program stores them: a double counting days since 1899-12-30 00:00, with the time
// of day as the fraction.
namespace fd::datetime {

// What a NULL or invalid date column reads as: 100-01-01.
constexpr double kEmptyDate = -657434.0;

// Days from 1899-12-30 to the given civil date (proleptic Gregorian, astronomical years).
qint64 daysFromCivil(int year, int month, int day);
void civilFromDays(qint64 days, int& year, int& month, int& day);

bool isValidDate(int year, int month, int day);
int daysInMonth(int year, int month);

double toDayNumber(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
double toDayNumber(const QDateTime& dt);
QDateTime fromDayNumber(double days);
// Calendar date of a day number (the fraction is ignored).
void dateOf(double days, int& year, int& month, int& day);

// The fields of a date-time text.
struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Reads a date-time text as the database writes one: year-month-day (numbers without a sign, with
// or without leading zeros), then nothing, or a blank or "T" and hour:minute:second with an
// optional fraction of a second, and nothing after it. True only for a real calendar day (year up
// to 9999; MySQL's zero date is none) and time of day; parts is then set. The one reading of date
// texts in the program: column values (db) and the texts of the fleet grid's date cells.
bool readDateTimeText(const char* data, std::size_t size, DateTimeParts& parts);

// The form in which dates are written into SQL: 2016-3-5.
QString dateText(int year, int month, int day);
QString dateText(const QDate& date);

// The local clock now, in whole seconds.
double nowInSeconds();

} // namespace fd::datetime
