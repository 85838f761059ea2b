#pragma once

// TEMPORARY: the old statement helpers, kept only while the callers move to Statement, Reply and
// Transaction. Deleted when no caller includes them.
#include "db/Database.h"

namespace fd::db {

inline QString dbEscape(const ConnectionPtr&, const QString& value)
{
    return Statement::escapeOffline(value);
}
inline QString dbQuote(const ConnectionPtr& connection, const QString& value)
{
    return QLatin1Char('\'') + dbEscape(connection, value) + QLatin1Char('\'');
}
inline QString dbLastError(const ConnectionPtr& connection)
{
    return connection ? connection->keptReply().error : QStringLiteral("没有连接数据库");
}
inline unsigned dbLastErrno(const ConnectionPtr& connection)
{
    return connection ? connection->keptReply().errorCode : 0;
}
inline qint64 dbMatchedRows(const ConnectionPtr& connection)
{
    return connection ? connection->keptReply().matchedRows : -1;
}
inline bool dbExecuteMany(const ConnectionPtr& connection, const QStringList& statements)
{
    if (!connection)
        return false;
    QList<Statement> list;
    for (const QString& s : statements)
        list.append(Statement::verbatim(s));
    Reply reply = connection->runAll(list);
    const bool ok = reply.ok;
    connection->keepReply(std::move(reply));
    return ok;
}
inline ResultPtr dbStreamQuery(const ConnectionPtr& connection, const QString& sql)
{
    if (!connection)
        return nullptr;
    Reply reply = connection->stream(Statement::verbatim(sql));
    ResultPtr rows = std::move(reply.rows);
    connection->keepReply(std::move(reply));
    return rows;
}
inline void dbThreadEnd(const ConnectionPtr&) {}
inline bool dbInsert(const ConnectionPtr& connection, const QString& table, const QString& assignments)
{
    return dbInsert(connection, table, Statement::verbatim(assignments));
}
inline bool dbUpdate(const ConnectionPtr& connection, const QString& table, const QString& assignments,
    const QString& condition)
{
    return dbUpdate(connection, table, Statement::verbatim(assignments), Statement::verbatim(condition));
}

} // namespace fd::db
