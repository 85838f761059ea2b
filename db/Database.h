#pragma once

#include "db/Connection.h"
#include "db/Statement.h"

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
// Runs one statement; its rows are kept for dbStoreResult. A text is sent as it stands (a "?" in
// it is text); a Statement has its values filled in and escaped by the session.
bool dbExecute(const ConnectionPtr& connection, const QString& sql);
bool dbExecute(const ConnectionPtr& connection, const Statement& statement);
// The rows of the statement just run by dbExecute; none when it produced no rows.
ResultPtr dbStoreResult(const ConnectionPtr& connection);
void dbFreeResult(ResultPtr& result);
qint64 dbRowCount(const Result* result);
inline qint64 dbRowCount(const ResultPtr& result) { return dbRowCount(result.get()); }
// Moves the cursor past the row it stands on: true when it stood on one.
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
bool dbInsert(const ConnectionPtr& connection, const QString& table, const Statement& assignments);
// "update " table " set " assignments, then " where " condition unless the condition is empty
bool dbUpdate(const ConnectionPtr& connection, const QString& table, const Statement& assignments,
    const Statement& condition);

} // namespace fd::db
