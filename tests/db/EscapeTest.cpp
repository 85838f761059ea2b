// Values between single quotes can never change a statement: quotes, backslashes, NUL and GBK
// characters whose second byte is the backslash, with a connection and without one.
#include "db/Legacy.h"

#include "../support/TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

class Escaping : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_conn = fd::test::freshDatabase(QStringLiteral("fd_db_escape")); }
    static void TearDownTestSuite() { s_conn.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_conn);
        mustExecute(s_conn, QStringLiteral("DELETE FROM celiangzongbiao"));
    }
    static inline ConnectionPtr s_conn;
};

// Each of these, escaped with a byte-by-byte (not GBK-aware) escape or not at all, closes the
// literal early. 縗 is BF 5C, 籠 BB 5C, 淺 9C 5C, 乗 81 5C.
QStringList hostileValues()
{
    QString withNul = QStringLiteral("nul");
    withNul.append(QChar(0));
    withNul.append(QStringLiteral("after"));
    return {
        QStringLiteral("縗' OR 1=1 -- "),
        QStringLiteral("籠'; DELETE FROM celiangzongbiao; -- "),
        QStringLiteral("淺\\"),
        QStringLiteral("乗\\' OR '1'='1"),
        QStringLiteral("O'Brien"),
        QStringLiteral("\\'"),
        QStringLiteral("\\"),
        QStringLiteral("''"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("line\nbreak\rreturn\x1a" "end"),
        withNul,
        QStringLiteral("豫A%_12"),
        QStringLiteral("縗"),
        QStringLiteral("1' , jibenbeizu = 0x70776E6564 -- "), // 0x70.. is 'pwned'
    };
}

} // namespace

TEST_F(Escaping, HostileValuesAreStoredAndReadBackExactly)
{
    const QStringList values = hostileValues();
    for (int i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"),
            QStringLiteral("danganbianhao='%1', cepaihao=").arg(i) + dbQuote(s_conn, values[i])))
            << i << ": " << dbLastError(s_conn).toStdString();
    }
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QString::number(values.size()));

    for (int i = 0; i < values.size(); ++i) {
        // looked up by the value itself: exactly its own row, never every row
        ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT danganbianhao, cepaihao FROM celiangzongbiao WHERE cepaihao=")
            + dbQuote(s_conn, values[i])));
        ResultPtr r = dbStoreResult(s_conn);
        EXPECT_EQ(dbRowCount(r), 1) << i;
        QString number, stored;
        EXPECT_TRUE(dbReadField(r, "danganbianhao", number));
        EXPECT_TRUE(dbReadField(r, "cepaihao", stored));
        EXPECT_EQ(number, QString::number(i));
        EXPECT_EQ(stored, values[i]) << i;
    }
    // and the stored bytes are the GBK bytes of the value, nothing added
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT hex(cepaihao) FROM celiangzongbiao WHERE danganbianhao='0'")),
        QStringLiteral("BF5C27204F5220313D31202D2D20"));
}

TEST_F(Escaping, ValueCannotWidenAnUpdate)
{
    ASSERT_TRUE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"), QStringLiteral("cepaihao='豫A1', cezuxingming='甲'")));
    ASSERT_TRUE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"), QStringLiteral("cepaihao='豫A2', cezuxingming='乙'")));
    for (const QString& hostile : {QStringLiteral("縗' OR '1'='1"), QStringLiteral("籠\\' OR 1=1 -- ")}) {
        EXPECT_TRUE(dbUpdate(s_conn, QStringLiteral("celiangzongbiao"), QStringLiteral("cezuxingming='改'"),
            QStringLiteral("cepaihao=") + dbQuote(s_conn, hostile)));
        EXPECT_EQ(dbMatchedRows(s_conn), 0);
    }
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE cezuxingming='改'")), QStringLiteral("0"));
}

TEST_F(Escaping, WithoutAConnectionTheEscapeIsEquallySafe)
{
    // A statement built while no connection was open (or after it closed) must still be safe
    // when it is later run on a GBK connection.
    ConnectionPtr closed = fd::test::connectStack();
    ASSERT_TRUE(closed);
    closed->close();
    const QStringList values = hostileValues();
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(dbEscape(ConnectionPtr(), values[i]), dbEscape(closed, values[i])) << i;
        ASSERT_TRUE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"),
            QStringLiteral("danganbianhao='%1', cepaihao='%2'").arg(i).arg(dbEscape(ConnectionPtr(), values[i]))))
            << i;
    }
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT cepaihao FROM celiangzongbiao WHERE danganbianhao='%1'").arg(i)),
            values[i]) << i;
    }
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QString::number(values.size()));
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE jibenbeizu IS NOT NULL")),
        QStringLiteral("0"));
}

TEST_F(Escaping, LikePatternsKeepTheirWildcards)
{
    for (const char* plate : {"豫A12345", "豫A54321", "豫B12345", "豫A_1", "豫A%1"})
        ASSERT_TRUE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"), QStringLiteral("cepaihao=") + dbQuote(s_conn, QString::fromUtf8(plate))));
    auto likeCount = [](const QString& pattern) {
        return queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE cepaihao LIKE '%1'")
            .arg(dbEscape(s_conn, pattern)));
    };
    EXPECT_EQ(likeCount(QStringLiteral("%A%")), QStringLiteral("4"));
    EXPECT_EQ(likeCount(QStringLiteral("豫_12345")), QStringLiteral("2"));
    EXPECT_EQ(likeCount(QStringLiteral("%12345")), QStringLiteral("2"));
    EXPECT_EQ(likeCount(QStringLiteral("%' OR '1'='1")), QStringLiteral("0"));
    EXPECT_EQ(likeCount(QStringLiteral("%縗%")), QStringLiteral("0"));
}

TEST_F(Escaping, TextThatWasNotValidGbkIsNeverSent)
{
    // A value decoded from broken bytes carries U+FFFD; it must not reach the server as '?'.
    const QString broken = QStringLiteral("\uFFFD' OR 1=1 -- ");
    EXPECT_FALSE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"), QStringLiteral("cepaihao=") + dbQuote(s_conn, broken)));
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QStringLiteral("0"));
}

TEST_F(Escaping, ServerWithoutBackslashEscapesIsNotInjectable)
{
    // A server configured with NO_BACKSLASH_ESCAPES reads a backslash as itself: an escape that
    // relies on \' would let the quote end the literal.
    ConnectionPtr strict = fd::test::connectStack(QStringLiteral("fd_db_escape"));
    ASSERT_TRUE(strict);
    mustExecute(strict, QStringLiteral("SET SESSION sql_mode=CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
    const QStringList values = hostileValues();
    for (int i = 0; i < values.size(); ++i) {
        // escaped by the live connection: exact
        ASSERT_TRUE(dbInsert(strict, QStringLiteral("celiangzongbiao"),
            QStringLiteral("danganbianhao='live%1', cepaihao=").arg(i) + dbQuote(strict, values[i])))
            << i << ": " << dbLastError(strict).toStdString();
        EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT cepaihao FROM celiangzongbiao WHERE danganbianhao='live%1'").arg(i)),
            values[i]) << i;
        // escaped while no connection was open: may store other text, but never runs the rest
        dbInsert(strict, QStringLiteral("celiangzongbiao"),
            QStringLiteral("danganbianhao='off%1', cepaihao='%2'").arg(i).arg(dbEscape(ConnectionPtr(), values[i])));
    }
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE danganbianhao LIKE 'live%'")),
        QString::number(values.size()));
    const int offline = queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE danganbianhao LIKE 'off%'")).toInt();
    EXPECT_LE(offline, values.size());
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")),
        QString::number(values.size() + offline)) << "a value changed a statement";
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE jibenbeizu='pwned'")),
        QStringLiteral("0")) << "a value set another column";
}
