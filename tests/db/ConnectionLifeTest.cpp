// The life of a session: replacing and closing it, and reopening one the server dropped, without
// ever running a statement twice.
#include "db/Database.h"

#include "../support/TestSupport.h"
#include "common/AppState.h"
#include "common/Cipher.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace fd::db;
using fd::decipherSetting;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_life");

// Whether the server still has a session with this id (asked on another connection). The
// server ends a closed session asynchronously, so absence is waited for briefly.
bool sessionGone(const ConnectionPtr& observer, unsigned long id)
{
    QElapsedTimer timer;
    timer.start();
    do {
        if (queryValue(observer, QStringLiteral("SELECT count(*) FROM information_schema.processlist WHERE id=%1").arg(id))
            == QStringLiteral("0"))
            return true;
        QThread::msleep(20);
    } while (timer.elapsed() < 3000);
    return false;
}

class ConnectionLife : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_observer = fd::test::freshDatabase(kDatabase);
        mustExecute(s_observer, QStringLiteral("CREATE TABLE journal (n INT NOT NULL, note VARCHAR(20)) DEFAULT CHARSET=gbk"));
    }
    static void TearDownTestSuite() { s_observer.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_observer);
        mustExecute(s_observer, QStringLiteral("DELETE FROM journal"));
    }
    static inline ConnectionPtr s_observer;
};

} // namespace

TEST_F(ConnectionLife, StoringANewConnectionClosesTheOneItReplaces)
{
    fd::AppState state;
    state.dbConnection = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(state.dbConnection);
    const unsigned long first = state.dbConnection->threadId();
    ASSERT_NE(first, 0u);
    ASSERT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM information_schema.processlist WHERE id=%1").arg(first)),
        QStringLiteral("1"));

    state.dbConnection = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(state.dbConnection);
    const unsigned long second = state.dbConnection->threadId();
    EXPECT_NE(second, first);
    EXPECT_TRUE(sessionGone(s_observer, first)) << "the replaced connection is still open on the server";

    // a failed attempt stores none, and that closes the previous one too
    state.dbConnection = dbConnect(QStringLiteral("127.0.0.1"), QStringLiteral("fleetdesk"), QStringLiteral("wrong"), kDatabase,
        fd::test::stackSettings().dbPort);
    EXPECT_FALSE(state.dbConnection);
    EXPECT_TRUE(sessionGone(s_observer, second));

    ConnectionPtr closed = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(closed);
    const unsigned long third = closed->threadId();
    dbClose(closed);
    EXPECT_TRUE(sessionGone(s_observer, third));
}

TEST_F(ConnectionLife, ConnectionDroppedWhileIdleIsReopenedBeforeTheNextStatement)
{
    ConnectionPtr conn = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(conn);
    conn->setIdleCheckSeconds(1);
    mustExecute(conn, QStringLiteral("SET SESSION wait_timeout=1"));
    const unsigned long before = conn->threadId();
    EXPECT_TRUE(sessionGone(s_observer, before)) << "the server did not drop the idle session";
    QThread::msleep(1100); // past the idle check
    EXPECT_TRUE(dbInsert(conn, QStringLiteral("journal"), Statement("n=1, note='隔夜'"))) << conn->keptReply().error.toStdString();
    EXPECT_NE(conn->threadId(), before);
    // the reopened session has the same database, character set and statements work on it
    EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT note FROM journal")), QStringLiteral("隔夜"));
    EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT @@character_set_client")), QStringLiteral("gbk"));
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal")), QStringLiteral("1"));
}

TEST_F(ConnectionLife, StatementAfterTheServerClosedTheSessionRunsOnceOnANewOne)
{
    ConnectionPtr conn = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(conn);
    conn->setIdleCheckSeconds(3600); // no check: the statement meets the dead session itself
    ASSERT_TRUE(dbInsert(conn, QStringLiteral("journal"), Statement("n=1")));
    const unsigned long before = conn->threadId();
    mustExecute(s_observer, QStringLiteral("KILL %1").arg(before));
    ASSERT_TRUE(sessionGone(s_observer, before));

    // The server's closing of the socket is seen before anything is sent, without a round trip:
    // the statement goes out once, on a reopened session.
    EXPECT_TRUE(dbInsert(conn, QStringLiteral("journal"), Statement("n=2"))) << conn->keptReply().error.toStdString();
    EXPECT_NE(conn->threadId(), before);
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal WHERE n=2")), QStringLiteral("1"));

    // the next statement runs on a reopened session
    EXPECT_TRUE(dbInsert(conn, QStringLiteral("journal"), Statement("n=3"))) << conn->keptReply().error.toStdString();
    EXPECT_NE(conn->threadId(), before);
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal WHERE n=3")), QStringLiteral("1"));
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal WHERE n=1")), QStringLiteral("1"));
}

TEST_F(ConnectionLife, ServerThatStaysAwayFailsEveryStatementUntilItReturns)
{
    // The reopen happens with the same settings; when they no longer work, statements fail
    // (and keep trying on later statements) instead of running on a stale session.
    mustExecute(s_observer, QStringLiteral("DROP USER IF EXISTS 'fd_blocked'@'127.0.0.1'"));
    mustExecute(s_observer, QStringLiteral("CREATE USER 'fd_blocked'@'127.0.0.1' IDENTIFIED BY 'pw'"));
    mustExecute(s_observer, QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO 'fd_blocked'@'127.0.0.1'"));
    ConnectionPtr blocked = dbConnect(QStringLiteral("127.0.0.1"), QStringLiteral("fd_blocked"), QStringLiteral("pw"), kDatabase,
        fd::test::stackSettings().dbPort);
    ASSERT_TRUE(blocked);
    blocked->setIdleCheckSeconds(0);
    const unsigned long blockedId = blocked->threadId();
    mustExecute(s_observer, QStringLiteral("ALTER USER 'fd_blocked'@'127.0.0.1' ACCOUNT LOCK"));
    mustExecute(s_observer, QStringLiteral("KILL %1").arg(blockedId));
    ASSERT_TRUE(sessionGone(s_observer, blockedId));
    EXPECT_FALSE(dbInsert(blocked, QStringLiteral("journal"), Statement("n=7")));
    EXPECT_FALSE(dbInsert(blocked, QStringLiteral("journal"), Statement("n=7")));
    mustExecute(s_observer, QStringLiteral("ALTER USER 'fd_blocked'@'127.0.0.1' ACCOUNT UNLOCK"));
    EXPECT_TRUE(dbInsert(blocked, QStringLiteral("journal"), Statement("n=8"))) << blocked->keptReply().error.toStdString();
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal WHERE n=7")), QStringLiteral("0"));
    EXPECT_EQ(queryValue(s_observer, QStringLiteral("SELECT count(*) FROM journal WHERE n=8")), QStringLiteral("1"));
    mustExecute(s_observer, QStringLiteral("DROP USER 'fd_blocked'@'127.0.0.1'"));
}

TEST_F(ConnectionLife, AServerThatStopsAnsweringFailsTheStatementInsteadOfFreezing)
{
    const fd::Settings s = fd::test::stackSettings();
    Connection::Options options;
    options.host = decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    options.user = decipherSetting(s.dbUser, s.settingKeyB, s.xorMask);
    options.password = decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask);
    options.database = kDatabase;
    options.port = s.dbPort;
    options.readTimeoutSeconds = 1;
    ConnectionPtr conn = Connection::open(options);
    ASSERT_TRUE(conn);
    QElapsedTimer timer;
    timer.start();
    // the server keeps the statement for 20 s without a word
    EXPECT_FALSE(conn->run(Statement("SELECT SLEEP(20)")).ok);
    EXPECT_LT(timer.elapsed(), 8000);
    // the next statement works again on a new session
    EXPECT_TRUE(conn->run(Statement("SELECT 1")).ok);
}

