#pragma once

// The server's error numbers the program tells apart (mysqld_error.h names). The client
// library's own (lost connection and the like) come from its errmsg.h.
namespace fd::db::errors {

// A statement or session refused for want of a privilege of the account.
inline constexpr unsigned kDatabaseAccessDenied = 1044; // ER_DBACCESS_DENIED_ERROR: no right on the database
inline constexpr unsigned kTableAccessDenied = 1142;    // ER_TABLEACCESS_DENIED_ERROR: a command on a table
inline constexpr unsigned kColumnAccessDenied = 1143;   // ER_COLUMNACCESS_DENIED_ERROR: a command on a column
inline constexpr unsigned kSpecificAccessDenied = 1227; // ER_SPECIFIC_ACCESS_DENIED_ERROR: a global privilege
inline constexpr unsigned kRoutineAccessDenied = 1370;  // ER_PROCACCESS_DENIED_ERROR: a routine
inline constexpr unsigned kNodeNotReady = 1047;      // ER_UNKNOWN_COM_ERROR: a cluster node not yet prepared
inline constexpr unsigned kServerShutdown = 1053;    // ER_SERVER_SHUTDOWN
inline constexpr unsigned kDuplicateKey = 1062;      // ER_DUP_ENTRY
inline constexpr unsigned kNoSuchTable = 1146;       // ER_NO_SUCH_TABLE
inline constexpr unsigned kLockWaitTimeout = 1205;   // ER_LOCK_WAIT_TIMEOUT
inline constexpr unsigned kDeadlock = 1213;          // ER_LOCK_DEADLOCK; also a cluster's failed certification
inline constexpr unsigned kOutOfRange = 1264;        // ER_WARN_DATA_OUT_OF_RANGE
inline constexpr unsigned kWrongValue = 1292;        // ER_TRUNCATED_WRONG_VALUE (dates, numbers)
inline constexpr unsigned kWrongValueForField = 1366; // ER_TRUNCATED_WRONG_VALUE_FOR_FIELD
inline constexpr unsigned kDataTooLong = 1406;       // ER_DATA_TOO_LONG
inline constexpr unsigned kConnectionKilled = 1927;  // ER_CONNECTION_KILLED

// The client library's: the session is gone (CR_SERVER_GONE_ERROR, CR_SERVER_LOST).
inline constexpr unsigned kServerGone = 2006;
inline constexpr unsigned kServerLost = 2013;

} // namespace fd::db::errors
