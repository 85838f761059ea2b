#pragma once

#include "db/Statement.h"

#include <QString>

// The select statements of the fleet grid, their values bound. Pure functions: the text the
// session sends is the statement with each value quoted and escaped in its place.
namespace fd::fleet {

// The full list, newest driving-permit date first.
db::Statement fullListStatement();

// The search on one field (1 plate, 2 file number, 3 owner name) for the text as typed: "%" and
// "_" in it stay wildcards. Empty for any other field.
db::Statement searchStatement(int fieldValue, const QString& searchText);

// The search text made ready to stand in a LIKE pattern: a backslash is doubled so that LIKE
// matches it as itself; "%" and "_" are left as wildcards.
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
db::Statement categoryStatement(const QString& column, int categoryCode, double loginDateTime);

} // namespace fd::fleet
