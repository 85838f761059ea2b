// Transactions as objects, and sessions of their own for other threads.
#include "db/Database.h"
#include "db/ErrorCodes.h"
#include "db/ThreadSession.h"
#include "db/Transaction.h"

#include "../support/TestSupport.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_transaction");

class Transactions : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_observer = fd::test::freshDatabase(kDatabase);
        mustExecute(s_observer,
            QStringLiteral("CREATE TABLE journal (n INT NOT NULL PRIMARY KEY, note VARCHAR(20)) ENGINE=InnoDB DEFAULT CHARSET=gbk"));
    }
    static void TearDownTestSuite() { s_observer.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_observer);
        mustExecute(s_observer, QStringLiteral("DELETE FROM journal"));
        m_session = fd::test::connectStack(kDatabase);
        ASSERT_TRUE(m_session);
    }
    QString rows() { return queryValue(s_observer, QStringLiteral("SELECT ifnull(group_concat(n ORDER BY n), '') FROM journal")); }

    static inline ConnectionPtr s_observer;
    ConnectionPtr m_session;
};

Statement insert(int n)
{
    return Statement("INSERT INTO journal (n, note) VALUES (?, ?)").bind(n).bind(QStringLiteral("第%1行").arg(n));
}

} // namespace

TEST_F(Transactions, WhatIsNotCommittedIsRolledBack)
{
    {
        Transaction tx(*m_session);
        ASSERT_TRUE(tx.run(insert(1)).ok);
        ASSERT_TRUE(tx.run(insert(2)).ok);
        EXPECT_TRUE(m_session->inTransaction());
    } // left without commit: an early return, an exception
    EXPECT_FALSE(m_session->inTransaction());
    EXPECT_EQ(rows(), QString());

    // A failed statement in the commit's round trip leaves nothing of the transaction.
    {
        Transaction tx(*m_session);
        ASSERT_TRUE(tx.run(insert(3)).ok);
        const Reply commit = tx.commit({ insert(4), insert(3) }); // 3 exists: duplicate key
        EXPECT_FALSE(commit.ok);
        EXPECT_EQ(commit.errorCode, errors::kDuplicateKey);
    }
    EXPECT_EQ(rows(), QString());

    // Committed: the rows of the last statement that produced some come back with the commit.
    Transaction tx(*m_session);
    ASSERT_TRUE(tx.run(insert(5)).ok);
    const Reply commit = tx.commit({ insert(6), Statement("SELECT count(*) AS n FROM journal") });
    ASSERT_TRUE(commit.ok) << commit.error.toStdString();
    ASSERT_TRUE(commit.rows);
    EXPECT_EQ(commit.rows->integer("n"), 2);
    EXPECT_EQ(rows(), QStringLiteral("5,6"));
    EXPECT_FALSE(tx.run(insert(7)).ok) << "a finished transaction takes no more statements";
}

// The session is killed between two statements of a transaction: the server rolled back the
// first one, so the rest and the commit fail instead of running on a new session as half a
// change. Once the transaction has ended, the session is reopened for the next statement.
TEST_F(Transactions, ASessionLostInsideFailsTheRestAndTheCommit)
{
    m_session->setIdleCheckSeconds(0); // every statement checks the session first
    const unsigned long first = m_session->threadId();
    {
        Transaction tx(*m_session);
        ASSERT_TRUE(tx.run(insert(1)).ok);
        mustExecute(s_observer, QStringLiteral("KILL %1").arg(first));
        QThread::msleep(100);
        const Reply second = tx.run(insert(2));
        EXPECT_FALSE(second.ok);
        const Reply commit = tx.commit(insert(3));
        EXPECT_FALSE(commit.ok);
        EXPECT_FALSE(commit.error.isEmpty());
    }
    EXPECT_EQ(rows(), QString());
    ASSERT_TRUE(m_session->run(insert(4)).ok);
    EXPECT_NE(m_session->threadId(), first);
    EXPECT_EQ(rows(), QStringLiteral("4"));
}

// A session that died while idle before a transaction began is reopened for its first
// statements: nothing of the transaction had been sent.
TEST_F(Transactions, ASessionDeadBeforeTheStartIsReopened)
{
    m_session->setIdleCheckSeconds(0);
    const unsigned long first = m_session->threadId();
    mustExecute(s_observer, QStringLiteral("KILL %1").arg(first));
    QThread::msleep(100);
    Transaction tx(*m_session);
    ASSERT_TRUE(tx.run(insert(1)).ok);
    ASSERT_TRUE(tx.commit().ok);
    EXPECT_NE(m_session->threadId(), first);
    EXPECT_EQ(rows(), QStringLiteral("1"));
}

TEST_F(Transactions, EachThreadHasASessionOfItsOwn)
{
    const Connection::Options options = m_session->options();
    unsigned long ids[2] = { 0, 0 };
    unsigned long again[2] = { 0, 0 };
    bool wrote[2] = { false, false };
    auto work = [&](int i) {
        ConnectionPtr own = threadSession(options);
        ids[i] = own ? own->threadId() : 0;
        // the same thread gets the same session back; both write inside their own transactions
        ConnectionPtr same = threadSession(options);
        again[i] = same ? same->threadId() : 0;
        if (same) {
            Transaction tx(*same);
            wrote[i] = tx.run(insert(10 + i)).ok && tx.commit().ok;
        }
    };
    std::thread a(work, 0);
    std::thread b(work, 1);
    a.join();
    b.join();
    EXPECT_NE(ids[0], 0u);
    EXPECT_NE(ids[1], 0u);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[0], m_session->threadId());
    EXPECT_EQ(ids[0], again[0]);
    EXPECT_EQ(ids[1], again[1]);
    EXPECT_TRUE(wrote[0] && wrote[1]);
    EXPECT_EQ(rows(), QStringLiteral("10,11"));

    // Other options (another login) give the thread a new session; the old one is closed.
    std::thread([&] {
        ConnectionPtr first = threadSession(options);
        ASSERT_TRUE(first);
        const unsigned long firstId = first->threadId();
        first.reset();
        Connection::Options other = options;
        // A database every account may open.
        other.database = QStringLiteral("information_schema");
        ConnectionPtr second = threadSession(other);
        ASSERT_TRUE(second);
        EXPECT_NE(second->threadId(), firstId);
        EXPECT_EQ(queryValue(second, QStringLiteral("SELECT DATABASE()")), QStringLiteral("information_schema"));
    }).join();
}
