// Streamed results: rows read as the server sends them, the connection reserved for the reading
// thread until the result is released, and no way for that thread to wait on itself.
#include "db/Database.h"

#include "../support/TestSupport.h"

#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_stream");

class Streamed : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_conn = fd::test::freshDatabase(kDatabase);
        mustExecute(s_conn, QStringLiteral("CREATE TABLE t (n INT NOT NULL, name VARCHAR(20), d DATE) DEFAULT CHARSET=gbk"));
        QString values;
        for (int i = 1; i <= 2000; ++i)
            values += QStringLiteral("%1(%2,'车%2',%3)")
                          .arg(i == 1 ? QString() : QStringLiteral(","))
                          .arg(i)
                          .arg(i % 7 == 0 ? QStringLiteral("NULL") : QStringLiteral("'2016-5-%1'").arg(i % 28 + 1));
        mustExecute(s_conn, QStringLiteral("INSERT INTO t VALUES ") + values);
    }
    static void TearDownTestSuite() { s_conn.reset(); }
    void SetUp() override { ASSERT_TRUE(s_conn); }
    static inline ConnectionPtr s_conn;
};

} // namespace

TEST_F(Streamed, GivesTheSameRowsAsAStoredResultAndCountsAsItGoes)
{
    const QString sql = QStringLiteral("SELECT n, name, d FROM t ORDER BY n");
    ASSERT_TRUE(dbExecute(s_conn, sql));
    ResultPtr stored = dbStoreResult(s_conn);
    ResultPtr streamed = dbStreamQuery(s_conn, sql);
    ASSERT_TRUE(stored);
    ASSERT_TRUE(streamed);
    EXPECT_EQ(stored->rowCount(), 2000);
    EXPECT_EQ(streamed->rowCount(), 1); // only what has arrived
    qint64 rows = 0;
    while (!streamed->atEnd()) {
        ++rows;
        for (const char* column : {"n", "name", "d"}) {
            QString a, b;
            ASSERT_TRUE(dbReadField(stored.get(), column, a));
            ASSERT_TRUE(dbReadField(streamed.get(), column, b));
            ASSERT_EQ(a, b) << "row " << rows << " column " << column;
        }
        DateTimeValue da, db;
        dbReadField(stored.get(), "d", da);
        dbReadField(streamed.get(), "d", db);
        EXPECT_EQ(da.days, db.days);
        EXPECT_EQ(streamed->rowCount(), rows);
        stored->next();
        streamed->next();
    }
    EXPECT_EQ(rows, 2000);
    EXPECT_FALSE(streamed->failed());
    // a streamed row lives in the connection's buffer: past the end there is nothing to read
    QString value = QStringLiteral("unchanged");
    EXPECT_FALSE(dbReadField(streamed.get(), "name", value));
    EXPECT_EQ(value, QStringLiteral("unchanged"));
    dbFreeResult(streamed);
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("2000"));
}

TEST_F(Streamed, TheReadingThreadCannotWaitOnItself)
{
    ResultPtr streamed = dbStreamQuery(s_conn, QStringLiteral("SELECT n FROM t"));
    ASSERT_TRUE(streamed);
    QElapsedTimer timer;
    timer.start();
    // Each of these would wait for the lock the result holds: they fail at once instead.
    EXPECT_FALSE(dbExecute(s_conn, QStringLiteral("SELECT 1")));
    EXPECT_FALSE(dbStoreResult(s_conn));
    EXPECT_FALSE(dbStreamQuery(s_conn, QStringLiteral("SELECT 1")));
    EXPECT_LT(timer.elapsed(), 1000);
    // Escaping and reading the connection's state need no statement: they answer while streaming.
    EXPECT_EQ(dbEscape(s_conn, QStringLiteral("它's")), QStringLiteral("它\\'s"));
    EXPECT_TRUE(s_conn->isOpen());
    EXPECT_NE(s_conn->threadId(), 0u);
    EXPECT_EQ(dbMatchedRows(s_conn), 0);
    dbLastError(s_conn);
    // Released half read: the rest is dropped and the connection serves the next statement.
    for (int i = 0; i < 10; ++i)
        streamed->next();
    dbFreeResult(streamed);
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM t WHERE d IS NULL")), QStringLiteral("285"));
}

TEST_F(Streamed, AnotherThreadWaitsUntilTheResultIsReleased)
{
    ResultPtr streamed = dbStreamQuery(s_conn, QStringLiteral("SELECT n FROM t ORDER BY n"));
    ASSERT_TRUE(streamed);
    std::atomic<bool> done{false};
    std::atomic<bool> ok{false};
    std::thread worker([&] {
        ok = dbExecute(s_conn, QStringLiteral("UPDATE t SET name='改' WHERE n=1"));
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(done.load()) << "the worker's statement must not interleave with the rows being read";
    qint64 rows = 0;
    while (!streamed->atEnd()) {
        ++rows;
        streamed->next();
    }
    EXPECT_EQ(rows, 2000);
    dbFreeResult(streamed);
    worker.join();
    EXPECT_TRUE(ok.load());
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT name FROM t WHERE n=1")), QStringLiteral("改"));
    mustExecute(s_conn, QStringLiteral("UPDATE t SET name='车1' WHERE n=1"));
}

TEST_F(Streamed, FailedStatementsAndStatementsWithoutRowsGiveNone)
{
    EXPECT_FALSE(dbStreamQuery(s_conn, QStringLiteral("SELECT nosuchcolumn FROM t")));
    EXPECT_FALSE(dbStreamQuery(s_conn, QStringLiteral("UPDATE t SET n=n WHERE n=1")));
    EXPECT_EQ(dbMatchedRows(s_conn), 1);
    EXPECT_FALSE(dbStreamQuery(nullptr, QStringLiteral("SELECT 1")));
    ResultPtr empty = dbStreamQuery(s_conn, QStringLiteral("SELECT n FROM t WHERE n < 0"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->atEnd());
    EXPECT_FALSE(empty->hasRow());
    EXPECT_EQ(empty->rowCount(), 0);
    EXPECT_FALSE(empty->failed());
    dbFreeResult(empty);
    EXPECT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT 1")));
}

TEST_F(Streamed, RowsCutShortByALostConnectionAreReportedAndTheNextStatementReconnects)
{
    ConnectionPtr conn = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(conn);
    const unsigned long id = conn->threadId();
    // enough rows that the server is still sending when the session is killed
    ResultPtr streamed = dbStreamQuery(conn, QStringLiteral("SELECT a.n, b.name FROM t a, t b"));
    ASSERT_TRUE(streamed);
    streamed->next();
    mustExecute(s_conn, QStringLiteral("KILL %1").arg(id));
    qint64 rows = 0;
    while (!streamed->atEnd() && rows < 5000000) {
        streamed->next();
        ++rows;
    }
    EXPECT_TRUE(streamed->failed()) << "read " << rows << " of 4000000 rows";
    dbFreeResult(streamed);
    EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("2000"));
    EXPECT_NE(conn->threadId(), id);
}

TEST_F(Streamed, ReleasedOnAnotherThreadFreesTheConnectionForEveryThread)
{
    ResultPtr streamed = dbStreamQuery(s_conn, QStringLiteral("SELECT n FROM t ORDER BY n"));
    ASSERT_TRUE(streamed);
    // A worker's statement waits while this thread streams...
    std::atomic_bool workerDone {false};
    bool workerOk = false;
    std::thread worker([&] {
        workerOk = dbExecute(s_conn, QStringLiteral("UPDATE t SET name=name WHERE n=1"));
        workerDone = true;
        dbThreadEnd(s_conn);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(workerDone);
    // ...until the result is released, here by a third thread (the mutex is never unlocked by a
    // thread that does not hold it: ThreadSanitizer checks that).
    std::thread([r = std::move(streamed)]() mutable { r.reset(); }).join();
    worker.join();
    EXPECT_TRUE(workerOk);
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT COUNT(*) FROM t")), QStringLiteral("2000"));
}

TEST_F(Streamed, WorkersLeaveNoBookkeepingBehind)
{
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT 1")));
    const std::size_t before = s_conn->threadsKept();
    for (int i = 0; i < 8; ++i) {
        std::thread([] {
            ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT n FROM t LIMIT 3"))); // its result never taken
            dbThreadEnd(s_conn);
        }).join();
    }
    EXPECT_EQ(s_conn->threadsKept(), before);
}
