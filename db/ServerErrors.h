#pragma once

#include <QString>

// The server's common refusals of a statement, told in the user's words: what was refused and in
// which column, while the server's own message is kept for the details.
namespace fd::db {

// Server error numbers (mysqld_error.h names).
inline constexpr unsigned kErDupEntry = 1062;          // ER_DUP_ENTRY
inline constexpr unsigned kErLockWaitTimeout = 1205;   // ER_LOCK_WAIT_TIMEOUT
inline constexpr unsigned kErLockDeadlock = 1213;      // ER_LOCK_DEADLOCK; also a cluster's failed certification
inline constexpr unsigned kErOutOfRange = 1264;        // ER_WARN_DATA_OUT_OF_RANGE
inline constexpr unsigned kErWrongValue = 1292;        // ER_TRUNCATED_WRONG_VALUE (dates, numbers)
inline constexpr unsigned kErWrongValueForField = 1366; // ER_TRUNCATED_WRONG_VALUE_FOR_FIELD
inline constexpr unsigned kErDataTooLong = 1406;       // ER_DATA_TOO_LONG

struct Refusal {
    enum Kind { None, TooLong, Duplicate, OutOfRange, BadValue, LockWait };
    Kind kind = None;
    QString column; // the column the server named (Duplicate: the key's name); empty when none
    QString value;  // Duplicate: the value that exists already
};

// What the server refused, from its error number and message; None for any other error.
Refusal refusalOf(unsigned code, const QString& message);

// The refusal in Chinese: field is the column as the user knows it (empty: the message names no
// field), limit what the column holds (TooLong, e.g. "255 个字符"; empty: not known).
QString refusalText(const Refusal& refusal, const QString& field, const QString& limit = QString());

} // namespace fd::db
