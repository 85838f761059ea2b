#pragma once

#include <QtGlobal>
#include <cstddef>

// Conversions of a column's text form into program values, as dbReadField applies them.
// Pure functions: no connection, no result handle.
namespace fd::db::convert {

// Optional leading blanks, an optional sign and the leading digits; anything else ends the
// number; no digits gives 0. Out-of-range values saturate.
qint64 toInteger(const char* data, std::size_t size);
// The leading decimal floating-point number; none gives 0.
double toFloating(const char* data, std::size_t size);
// True unless the first character is "0".
bool toBoolean(const char* data, std::size_t size);

enum class DateKind { DateTime, Date, Time, Year, Other };

// Reads a date-time column value of the given kind. Returns false for DateKind::Other (the
// variable is then left unchanged). Otherwise sets days: 0 when the normalised text has no "-" as
// its fifth character, the empty date for a value that is not a valid calendar date-time.
bool toDayNumber(DateKind kind, const char* data, std::size_t size, double& days);

} // namespace fd::db::convert
