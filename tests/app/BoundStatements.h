#pragma once

#include "db/Connection.h"

#include <QString>
#include <gtest/gtest.h>

// Statements of the tests whose values are bound, as the program's own are: a value in a test
// (a plate with a quote in it) never changes what the statement means.
namespace fd::test {

// Runs the statement, which must succeed (fails the current test otherwise).
inline void mustRun(const db::ConnectionPtr& connection, const db::Statement& statement)
{
    const db::Reply reply = connection ? connection->run(statement) : db::Reply {};
    if (!reply.ok)
        ADD_FAILURE() << "statement failed: " << statement.renderOffline().left(300).toStdString() << "\n  "
                      << reply.error.toStdString();
}

// The single value of a one-row, one-column statement, as text ("<null>" for NULL, "<none>" when
// no row).
inline QString valueOf(const db::ConnectionPtr& connection, const db::Statement& statement)
{
    const db::Reply reply = connection ? connection->run(statement) : db::Reply {};
    if (!reply.ok) {
        ADD_FAILURE() << "query failed: " << statement.renderOffline().toStdString() << "\n  "
                      << reply.error.toStdString();
        return QStringLiteral("<failed>");
    }
    if (!reply.rows || !reply.rows->hasRow())
        return QStringLiteral("<none>");
    return reply.rows->isNull(0) ? QStringLiteral("<null>") : reply.rows->text(0);
}

} // namespace fd::test
