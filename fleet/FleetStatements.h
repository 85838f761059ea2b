#pragma once

#include <QString>

// The select statements of the fleet grid, as fixed texts with values placed in. Pure functions:
// the caller escapes values for its connection.
namespace fd::vehicles {

// The full list, newest driving-permit date first.
QString fullListStatement();

// The search on one field (1 plate, 2 file number, 3 owner name) with a pattern that is already
// escaped for use between single quotes. Empty for any other field.
QString searchStatement(int fieldValue, const QString& escapedPattern);

// The search text made ready for dbEscape: a backslash is doubled so that LIKE matches it as
// itself; "%" and "_" are left as wildcards.
QString likePattern(const QString& searchText);

// The dates the category statements compare with, from the login date (days since 1899-12-30):
// T0 the login day, F0 the first of its month, F1 the first of the next month, F2 the first of
// the month after that, written like 2016-5-7 and 2016-6-01.
struct CategoryDates {
    QString t0, f0, f1, f2;
};
CategoryDates categoryDates(double loginDateTime);

// The select of one category list: the column must be a watched date column (the caller checks),
// the code 1 valid, 2 expired or no date, 3 due next month, 4 due this month. Empty for any
// other code.
QString categoryStatement(const QString& column, int categoryCode, double loginDateTime);

} // namespace fd::vehicles
