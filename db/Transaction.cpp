#include "db/Transaction.h"

#include <errmsg.h>

namespace fd::db {

Transaction::Transaction(Connection& session) : m_session(session)
{
    m_session.checkThread();
}

Transaction::~Transaction()
{
    if (!m_finished)
        rollback();
}

Reply Transaction::send(QList<Statement> statements, bool commit)
{
    if (m_finished) {
        Reply reply;
        reply.errorCode = CR_COMMANDS_OUT_OF_SYNC;
        reply.error = QStringLiteral("the transaction has ended");
        return reply;
    }
    const bool starting = !m_started;
    if (starting)
        statements.prepend(Statement(QStringLiteral("START TRANSACTION")));
    if (commit)
        statements.append(Statement(QStringLiteral("COMMIT")));
    // Until the start has gone out, a session that died while idle may still be reopened.
    Reply reply = m_session.runAll(statements);
    if (starting) {
        m_started = true;
        m_session.m_transactionOpen = true;
    }
    if (commit && (reply.ok || m_session.m_transactionLost)) {
        // Committed, or gone with the session: either way there is nothing left to roll back.
        end();
    }
    return reply;
}

Reply Transaction::run(const Statement& statement)
{
    return send({ statement }, false);
}

Reply Transaction::runAll(QList<Statement> statements)
{
    return send(std::move(statements), false);
}

Reply Transaction::commit(QList<Statement> statements)
{
    Reply reply = send(std::move(statements), true);
    if (!reply.ok && !m_finished)
        rollback();
    return reply;
}

bool Transaction::rollback()
{
    if (m_finished)
        return true;
    bool ok = true;
    if (m_started && !m_session.m_transactionLost)
        ok = m_session.run(Statement(QStringLiteral("ROLLBACK"))).ok;
    end();
    // A lost session took the transaction with it: the server has rolled it back.
    return ok;
}

void Transaction::end()
{
    m_finished = true;
    if (m_started) {
        m_session.m_transactionOpen = false;
        m_session.m_transactionLost = false;
    }
}

} // namespace fd::db
