#pragma once

#include "db/Connection.h"

namespace fd::db {

// A transaction on one session, rolled back unless committed. Nothing is sent when it is made:
// its first statements carry the start with them in one round trip, and commit() can carry the
// last ones, so a short transaction costs no extra round trips.
//
//     Transaction tx(*session);
//     Reply r = tx.run(Statement("select … for update").bind(id));
//     …
//     if (!tx.commit(Statement("update …").bind(…)))  // the update and the commit together
//
// When the session is lost inside the transaction the server has rolled it back: every later
// statement of the transaction and its commit fail, and the session is reopened only after the
// transaction object has ended. Thread affinity: the session's thread.
class Transaction {
public:
    explicit Transaction(Connection& session);
    ~Transaction(); // rolls back unless committed
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    Reply run(const Statement& statement);
    // The statements in one round trip; see Connection::runAll.
    Reply runAll(QList<Statement> statements);
    // Runs the statements (if any) and commits, in one round trip. A failed statement or a failed
    // commit leaves nothing of the transaction in the database.
    Reply commit(QList<Statement> statements = {});
    Reply commit(const Statement& last) { return commit(QList<Statement> { last }); }
    // Rolls back now; true also when the server had rolled back already (a lost session).
    bool rollback();

    bool started() const { return m_started; }
    bool finished() const { return m_finished; }

private:
    Reply send(QList<Statement> statements, bool commit);
    void end();

    Connection& m_session;
    bool m_started = false;
    bool m_finished = false;
};

} // namespace fd::db
