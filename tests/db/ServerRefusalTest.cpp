// What a session of the program lets the server store, and how the server's refusals are read:
// every session is strict, also on a server that is not, and each common refusal names its column.
#include "db/Database.h"
#include "db/ServerErrors.h"

#include "../support/TestSupport.h"

#include <gtest/gtest.h>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_refusals");

// The server runs lenient (as many office servers do) until the end of the scope.
class LenientServer {
public:
    explicit LenientServer(ConnectionPtr admin) : m_admin(std::move(admin))
    {
        m_mode = queryValue(m_admin, QStringLiteral("SELECT @@GLOBAL.sql_mode"));
        mustExecute(m_admin, QStringLiteral("SET GLOBAL sql_mode='NO_ZERO_DATE,NO_ENGINE_SUBSTITUTION'"));
    }
    ~LenientServer() { mustExecute(m_admin, Statement("SET GLOBAL sql_mode=?").bind(m_mode)); }

private:
    ConnectionPtr m_admin;
    QString m_mode;
};

TEST(ServerRefusal, ASessionIsStrictOnALenientServerAndKeepsZeroDates)
{
    ConnectionPtr admin = fd::test::freshDatabase(kDatabase);
    ASSERT_TRUE(admin);
    mustExecute(admin, QStringLiteral("CREATE TABLE t (v VARCHAR(5) NULL, d DATE NULL) DEFAULT CHARSET=gbk"));
    ConnectionPtr session;
    {
        LenientServer lenient(admin);
        session = fd::test::connectStack(kDatabase);
    }
    ASSERT_TRUE(session);
    const Reply tooLong = session->run(Statement("INSERT INTO t (v) VALUES (?)").bind(QStringLiteral("123456")));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.errorCode, errors::kDataTooLong);
    // Stored zero dates go on being written and read as a lenient server takes them.
    mustExecute(session, QStringLiteral("INSERT INTO t (v, d) VALUES ('12345', '0000-00-00')"));
    EXPECT_EQ(queryValue(admin, QStringLiteral("SELECT CONCAT(v, '|', d) FROM t")), QStringLiteral("12345|0000-00-00"));
}

// Each refusal is made by the real server, so that its message is read as the server writes it.
TEST(ServerRefusal, EachCommonRefusalNamesItsColumn)
{
    ConnectionPtr conn = fd::test::freshDatabase(kDatabase);
    ASSERT_TRUE(conn);
    mustExecute(conn, QStringLiteral("CREATE TABLE r (ID INT PRIMARY KEY, v VARCHAR(5) NULL, n TINYINT NULL, "
                                     "d DATE NULL, UNIQUE KEY uk_v (v)) DEFAULT CHARSET=gbk"));
    mustExecute(conn, QStringLiteral("INSERT INTO r (ID, v) VALUES (1, '豫A1')"));
    struct Case {
        const char* statement;
        unsigned code;
        Refusal::Kind kind;
        const char* column;
    };
    const Case cases[] = {
        {"INSERT INTO r (ID, v) VALUES (2, '123456')", errors::kDataTooLong, Refusal::TooLong, "v"},
        {"INSERT INTO r (ID, n) VALUES (2, 300)", errors::kOutOfRange, Refusal::OutOfRange, "n"},
        {"INSERT INTO r (ID, n) VALUES (2, 'abc')", errors::kWrongValueForField, Refusal::BadValue, "n"},
        {"INSERT INTO r (ID, d) VALUES (2, '2016-02-31')", errors::kWrongValue, Refusal::BadValue, "d"},
        {"INSERT INTO r (ID, v) VALUES (2, '豫A1')", errors::kDuplicateKey, Refusal::Duplicate, "uk_v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const Reply reply = conn->run(Statement::verbatim(QString::fromUtf8(c.statement)));
        ASSERT_FALSE(reply.ok);
        EXPECT_EQ(reply.errorCode, c.code);
        const Refusal refusal = refusalOf(reply.errorCode, reply.error);
        EXPECT_EQ(refusal.kind, c.kind);
        EXPECT_EQ(refusal.column, QString::fromUtf8(c.column));
        if (c.kind == Refusal::Duplicate) {
            EXPECT_EQ(refusal.value, QStringLiteral("豫A1"));
        }
    }
}

} // namespace
