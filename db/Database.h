#pragma once

#include "db/Connection.h"

#include <QByteArray>
#include <QString>

// The operations through which the whole program runs SQL. None shows anything: failure comes
// back only as the result (false, none, 0 or the empty text).
namespace fd::db {

// A date-time variable: days since 1899-12-30 with the time as fraction.
struct DateTimeValue {
    double days = 0.0;
};

// Connects with the client library told the set is GBK. Empty texts are passed on as absent;
// port 0 is the default 3306. Empty on failure.
ConnectionPtr dbConnect(const QString& host, const QString& user, const QString& password, const QString& database,
    int port = 0, QString* error = nullptr);
// The same with every connection option (host lists, TLS); failure tells a TLS refusal apart.
ConnectionPtr dbConnect(const Connection::Options& options, QString* error = nullptr, ConnectFailure* failure = nullptr);
// Closes the connection and leaves none in the handle. None is ignored.
void dbClose(ConnectionPtr& connection);
bool dbExecute(const ConnectionPtr& connection, const QString& sql);
// Runs the statements in one round trip, stopping at the first that fails (Connection::executeMany).
bool dbExecuteMany(const ConnectionPtr& connection, const QStringList& statements);
ResultPtr dbStoreResult(const ConnectionPtr& connection);
void dbFreeResult(ResultPtr& result);
// Runs a statement and hands its rows over as the server sends them (see
// Connection::executeStreamed): for long lists that should not sit in memory twice. Read the rows
// to the end and release the result before the next statement. None when the statement failed.
ResultPtr dbStreamQuery(const ConnectionPtr& connection, const QString& sql);
qint64 dbRowCount(const Result* result);
inline qint64 dbRowCount(const ResultPtr& result) { return dbRowCount(result.get()); }
bool dbNextRow(Result* result);
inline bool dbNextRow(const ResultPtr& result) { return dbNextRow(result.get()); }

// Reads the cursor row (the last row once the cursor has passed it) into the variable. False,
// with the variable unchanged, for none, an unknown column (names are case-sensitive) or no rows.
// An integer that does not fit the variable saturates at the variable's limit (never wraps).
bool dbReadField(const Result* result, int column, qint16& value);
bool dbReadField(const Result* result, int column, qint32& value);
bool dbReadField(const Result* result, int column, qint64& value);
bool dbReadField(const Result* result, int column, float& value);
bool dbReadField(const Result* result, int column, double& value);
bool dbReadField(const Result* result, int column, bool& value);
bool dbReadField(const Result* result, int column, QString& value);
bool dbReadField(const Result* result, int column, QByteArray& value);
bool dbReadField(const Result* result, int column, DateTimeValue& value);

template <typename T> bool dbReadField(const Result* result, const QString& column, T& value)
{
    return result && dbReadField(result, result->columnIndex(column), value);
}
template <typename T> bool dbReadField(const Result* result, const char* column, T& value)
{
    return result && dbReadField(result, result->columnIndex(column), value);
}
template <typename C, typename T> bool dbReadField(const ResultPtr& result, const C& column, T& value)
{
    return dbReadField(result.get(), column, value);
}

// "insert into " table " set " assignments
bool dbInsert(const ConnectionPtr& connection, const QString& table, const QString& assignments);
// "update " table " set " assignments, then " where " condition unless the condition is empty
bool dbUpdate(const ConnectionPtr& connection, const QString& table, const QString& assignments,
    const QString& condition);

// Rows matched by the last insert or update this thread ran on the connection; -1 for none.
qint64 dbMatchedRows(const ConnectionPtr& connection);
// The last error this thread met on the connection, for logs and failure messages.
QString dbLastError(const ConnectionPtr& connection);

// For a worker thread that used the connection, before it ends: frees what the connection and
// the client library keep for the thread. None is ignored.
void dbThreadEnd(const ConnectionPtr& connection);

// The value escaped for use between single quotes. "%" and "_" are left alone, so a LIKE pattern
// keeps its wildcards.
QString dbEscape(const ConnectionPtr& connection, const QString& value);
// Escaped and between single quotes.
inline QString dbQuote(const ConnectionPtr& connection, const QString& value)
{
    return QLatin1Char('\'') + dbEscape(connection, value) + QLatin1Char('\'');
}

} // namespace fd::db
