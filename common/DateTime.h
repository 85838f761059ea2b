#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

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

// The form in which dates are written into SQL: 2016-3-5.
QString dateText(int year, int month, int day);
QString dateText(const QDate& date);

// The local clock now, in whole seconds.
double nowInSeconds();

} // namespace fd::datetime
