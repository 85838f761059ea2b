// Streamed results: rows read as the server sends them, the session reserved for them until they
// are released, and a list given up half read.
#include "db/Database.h"

#include "../support/TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

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
    ResultPtr streamed = s_conn->stream(Statement::verbatim(sql)).rows;
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
        stored->skipRow();
        streamed->skipRow();
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

TEST_F(Streamed, TheSessionRunsNothingElseUntilTheRowsAreReleased)
{
    Reply streamed = s_conn->stream(Statement("SELECT n FROM t"));
    ASSERT_TRUE(streamed.ok);
    ASSERT_TRUE(streamed.rows);
    QElapsedTimer timer;
    timer.start();
    // Each of these fails at once instead of mixing with the rows on the wire.
    EXPECT_FALSE(s_conn->run(Statement("SELECT 1")).ok);
    EXPECT_FALSE(s_conn->stream(Statement("SELECT 1")).ok);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(s_conn->isOpen());
    // The whole list read: the session serves the next statement on the same connection.
    const unsigned long id = s_conn->threadId();
    while (streamed.rows->next()) {
    }
    EXPECT_EQ(streamed.rows->rowCount(), 2000);
    streamed.rows.reset();
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM t WHERE d IS NULL")), QStringLiteral("285"));
    EXPECT_EQ(s_conn->threadId(), id);
}

// A list given up after its first rows (a new selection) does not wait for the rest to arrive:
// the session leaves that connection and opens a new one for its next statement.
TEST_F(Streamed, RowsReleasedHalfReadGiveUpTheConnectionAtOnce)
{
    ConnectionPtr conn = fd::test::connectStack(kDatabase);
    ASSERT_TRUE(conn);
    const unsigned long id = conn->threadId();
    Reply streamed = conn->stream(Statement("SELECT a.n, b.name FROM t a, t b")); // 4 000 000 rows
    ASSERT_TRUE(streamed.rows);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(streamed.rows->next());
    QElapsedTimer timer;
    timer.start();
    streamed.rows.reset();
    EXPECT_LT(timer.elapsed(), 500) << "the rest of the rows were read before the release";
    EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("2000"));
    EXPECT_NE(conn->threadId(), id);
}

TEST_F(Streamed, FailedStatementsAndStatementsWithoutRowsGiveNone)
{
    EXPECT_FALSE(s_conn->stream(Statement("SELECT nosuchcolumn FROM t")).ok);
    const Reply update = s_conn->stream(Statement("UPDATE t SET n=n WHERE n=1"));
    EXPECT_TRUE(update.ok);
    EXPECT_FALSE(update.rows);
    EXPECT_EQ(update.matchedRows, 1);
    ResultPtr empty = s_conn->stream(Statement("SELECT n FROM t WHERE n < 0")).rows;
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
    ResultPtr streamed = conn->stream(Statement("SELECT a.n, b.name FROM t a, t b")).rows;
    ASSERT_TRUE(streamed);
    streamed->skipRow();
    mustExecute(s_conn, QStringLiteral("KILL %1").arg(id));
    qint64 rows = 0;
    while (!streamed->atEnd() && rows < 5000000) {
        streamed->skipRow();
        ++rows;
    }
    EXPECT_TRUE(streamed->failed()) << "read " << rows << " of 4000000 rows";
    dbFreeResult(streamed);
    EXPECT_EQ(queryValue(conn, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("2000"));
    EXPECT_NE(conn->threadId(), id);
}
