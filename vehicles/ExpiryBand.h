#pragma once

#include <QColor>
#include <QtGlobal>
#include <cstddef>

// The colour rule of an expiry-date cell: how many calendar months lie between the cell's date and
// the login date, and the band (background and text colour) that distance falls in.
// Pure functions, no widgets.
namespace fd::vehicles {

enum class ExpiryBand : quint8 {
    farAhead,        // two months or more ahead: green
    dueNextMonth,    // next calendar month: orange
    dueThisMonth,    // this calendar month, even if the day has passed: red
    expiredRecently, // one or two months back: dark red, white text
    expiredLong,     // three months or more back, or no valid date: black, white text
};

// (year of the date - year of the login) * 12 + (month of the date - month of the login).
// Days and times do not count.
double monthOffset(int year, int month, int loginYear, int loginMonth);

// The band of a month offset; comparisons use a tolerance of 1e-7.
ExpiryBand expiryBand(double offset);

// The band of a date text (read by datetime::readDateTimeText) against the login month: a text that
// is no date counts as 100-01-01.
ExpiryBand expiryBandOfText(const char* data, std::size_t size, int loginYear, int loginMonth);

// The cell's background. Search results show the next-month warning in a darker orange.
QColor bandBackground(ExpiryBand band, bool searchColours);
// The cell's text colour; invalid (the grid's own black) for the bands that keep it.
QColor bandForeground(ExpiryBand band);

} // namespace fd::vehicles
