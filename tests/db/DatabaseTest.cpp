// The database operations against the real server: connecting, running statements, reading
// every kind of variable and every date rule, inserts and updates, and their failure results.
#include "db/Database.h"

#include "../support/TestSupport.h"
#include "common/DateTime.h"
#include "common/Cipher.h"

#include <gtest/gtest.h>
#include <tuple>
#include <limits>

using namespace fd::db;
using fd::decipherSetting;
using fd::datetime::kEmptyDate;
using fd::datetime::toDayNumber;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

class DatabaseOps : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_conn = fd::test::freshDatabase(QStringLiteral("fd_db_ops")); }
    static void TearDownTestSuite() { s_conn.reset(); }
    void SetUp() override { ASSERT_TRUE(s_conn); }

    // The table of typed columns with four rows: ordinary values, zero dates, NULLs and
    // calendar-invalid dates.
    static void createTypedTable()
    {
        mustExecute(s_conn, QStringLiteral("DROP TABLE IF EXISTS typed"));
        mustExecute(s_conn, QStringLiteral(
            "CREATE TABLE typed (ID INT PRIMARY KEY, d DATE NULL, dt DATETIME NULL, ts TIMESTAMP NULL DEFAULT NULL, "
            "t TIME NULL, y YEAR NULL, v VARCHAR(50) NULL, i INT NULL, big BIGINT NULL, f DOUBLE NULL, "
            "amount DECIMAL(10,2) NULL, flag VARCHAR(5) NULL, bin BLOB NULL) DEFAULT CHARSET=gbk"));
        // zero dates and invalid calendar dates can only be stored with a lax mode
        mustExecute(s_conn, QStringLiteral("SET SESSION sql_mode='ALLOW_INVALID_DATES'"));
        mustExecute(s_conn, QStringLiteral(
            "INSERT INTO typed VALUES (1, '2016-05-31', '2016-05-31 18:00:00', '2016-05-31 12:00:00', '06:30:15', 2016, "
            "'2016-5-31', -42, 9000000000, 3.25, 12.50, '0', X'00015C27FF')"));
        mustExecute(s_conn, QStringLiteral(
            "INSERT INTO typed VALUES (2, '0000-00-00', '0000-00-00 00:00:00', '0000-00-00 00:00:00', '838:59:59', 0, "
            "'豫A縗籠', 7, -1, -0.5, -3.75, 'abc', '')"));
        mustExecute(s_conn, QStringLiteral(
            "INSERT INTO typed (ID) VALUES (3)"));
        mustExecute(s_conn, QStringLiteral(
            "INSERT INTO typed (ID, d, dt) VALUES (4, '2016-02-31', '2016-00-10 10:00:00')"));
        mustExecute(s_conn, QStringLiteral("SET SESSION sql_mode=DEFAULT"));
    }

    static ResultPtr row(int id)
    {
        EXPECT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT * FROM typed WHERE ID=%1").arg(id)));
        ResultPtr r = dbStoreResult(s_conn);
        EXPECT_EQ(dbRowCount(r), 1);
        return r;
    }

    static inline ConnectionPtr s_conn;
};

double readDays(const ResultPtr& r, const char* column, double start = 12345.0)
{
    DateTimeValue v;
    v.days = start;
    EXPECT_TRUE(dbReadField(r, column, v)) << column;
    return v.days;
}

} // namespace

TEST_F(DatabaseOps, DateColumnsByTheirSqlType)
{
    createTypedTable();
    ResultPtr r = row(1);
    EXPECT_DOUBLE_EQ(readDays(r, "d"), toDayNumber(2016, 5, 31));
    EXPECT_DOUBLE_EQ(readDays(r, "dt"), toDayNumber(2016, 5, 31, 18, 0, 0));
    EXPECT_DOUBLE_EQ(readDays(r, "ts"), toDayNumber(2016, 5, 31, 12, 0, 0));
    EXPECT_DOUBLE_EQ(readDays(r, "t"), toDayNumber(2000, 1, 1, 6, 30, 15));
    EXPECT_DOUBLE_EQ(readDays(r, "y"), toDayNumber(2016, 1, 1));
    // a column of another type leaves a date-time variable as it was, and the read succeeds
    EXPECT_EQ(readDays(r, "v"), 12345.0);
    EXPECT_EQ(readDays(r, "i"), 12345.0);
    EXPECT_EQ(readDays(r, "bin"), 12345.0);
}

TEST_F(DatabaseOps, ZeroNullAndInvalidDatesReadAsTheEmptyDate)
{
    createTypedTable();
    ResultPtr zero = row(2);
    EXPECT_EQ(readDays(zero, "d"), kEmptyDate);
    EXPECT_EQ(readDays(zero, "dt"), kEmptyDate);
    EXPECT_EQ(readDays(zero, "ts"), kEmptyDate);
    EXPECT_EQ(readDays(zero, "t"), kEmptyDate) << "838:59:59 is not a time of day";
    ResultPtr null = row(3);
    for (const char* column : {"d", "dt", "ts", "t", "y"})
        EXPECT_EQ(readDays(null, column), kEmptyDate) << column;
    ResultPtr invalid = row(4);
    EXPECT_EQ(readDays(invalid, "d"), kEmptyDate) << "31 February";
    EXPECT_EQ(readDays(invalid, "dt"), kEmptyDate) << "month 0";

    // The same rule for dates and times read as Qt's: none unless a real day.
    for (const auto& [id, column, expected] : std::initializer_list<std::tuple<int, const char*, QDateTime>> {
             {1, "dt", QDateTime(QDate(2016, 5, 31), QTime(18, 0))}, {1, "d", QDateTime(QDate(2016, 5, 31), QTime(0, 0))},
             {2, "dt", QDateTime()}, {3, "dt", QDateTime()}, {4, "d", QDateTime()}, {4, "dt", QDateTime()}}) {
        ResultPtr r = row(id);
        EXPECT_EQ(r->dateTime(column), expected) << id << column;
    }
}

TEST_F(DatabaseOps, EveryVariableKind)
{
    createTypedTable();
    ResultPtr r = row(1);
    qint16 i16 = 0;
    qint32 i32 = 0;
    qint64 i64 = 0;
    float f = 0;
    double d = 0;
    bool b = true;
    QString s;
    QByteArray bytes;
    EXPECT_TRUE(dbReadField(r, "i", i16));
    EXPECT_EQ(i16, -42);
    EXPECT_TRUE(dbReadField(r, "i", i32));
    EXPECT_EQ(i32, -42);
    EXPECT_TRUE(dbReadField(r, "big", i64));
    EXPECT_EQ(i64, 9000000000LL);
    EXPECT_TRUE(dbReadField(r, "f", f));
    EXPECT_FLOAT_EQ(f, 3.25f);
    EXPECT_TRUE(dbReadField(r, "amount", d));
    EXPECT_DOUBLE_EQ(d, 12.5);
    EXPECT_TRUE(dbReadField(r, "amount", i32));
    EXPECT_EQ(i32, 12) << "the digits before the point";
    EXPECT_TRUE(dbReadField(r, "flag", b));
    EXPECT_FALSE(b) << "a text starting with 0 is false";
    EXPECT_TRUE(dbReadField(r, "d", s));
    EXPECT_EQ(s, QStringLiteral("2016-05-31"));
    EXPECT_TRUE(dbReadField(r, "bin", bytes));
    EXPECT_EQ(bytes, QByteArray::fromHex("00015C27FF")) << "bytes with their length, NUL included";
    // by 0-based column number as well as by name
    EXPECT_TRUE(dbReadField(r, 7, i32));
    EXPECT_EQ(i32, -42);

    ResultPtr other = row(2);
    EXPECT_TRUE(dbReadField(other, "v", s));
    EXPECT_EQ(s, QStringLiteral("豫A縗籠"));
    EXPECT_TRUE(dbReadField(other, "flag", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(dbReadField(other, "v", i32));
    EXPECT_EQ(i32, 0) << "no leading digits";
    EXPECT_TRUE(dbReadField(other, "big", i64));
    EXPECT_EQ(i64, -1);
    EXPECT_TRUE(dbReadField(other, "amount", f));
    EXPECT_FLOAT_EQ(f, -3.75f);
    EXPECT_TRUE(dbReadField(other, "bin", bytes));
    EXPECT_TRUE(bytes.isEmpty());

    // SQL NULL: zero, false and empty
    ResultPtr null = row(3);
    i16 = 5, i32 = 5, i64 = 5, f = 5, d = 5, b = true, s = QStringLiteral("x"), bytes = "x";
    EXPECT_TRUE(dbReadField(null, "i", i16));
    EXPECT_TRUE(dbReadField(null, "i", i32));
    EXPECT_TRUE(dbReadField(null, "big", i64));
    EXPECT_TRUE(dbReadField(null, "f", f));
    EXPECT_TRUE(dbReadField(null, "amount", d));
    EXPECT_TRUE(dbReadField(null, "flag", b));
    EXPECT_TRUE(dbReadField(null, "v", s));
    EXPECT_TRUE(dbReadField(null, "bin", bytes));
    EXPECT_EQ(i16, 0);
    EXPECT_EQ(i32, 0);
    EXPECT_EQ(i64, 0);
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(b);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_TRUE(bytes.isEmpty());
}

TEST_F(DatabaseOps, IntegersTooWideForTheVariableSaturate)
{
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT 70000 AS a, -70000 AS b, 5000000000 AS c, -5000000000 AS d, "
                                                 "99999999999999999999 AS e, 32767 AS f")));
    ResultPtr r = dbStoreResult(s_conn);
    struct Case {
        const char* column;
        qint64 as16, as32, as64;
    };
    const qint64 max64 = std::numeric_limits<qint64>::max();
    for (const Case& c : {Case {"a", 32767, 70000, 70000}, Case {"b", -32768, -70000, -70000},
             Case {"c", 32767, 2147483647, 5000000000LL}, Case {"d", -32768, -2147483648LL, -5000000000LL},
             Case {"e", 32767, 2147483647, max64}, Case {"f", 32767, 32767, 32767}}) {
        qint16 i16 = 0;
        qint32 i32 = 0;
        qint64 i64 = 0;
        EXPECT_TRUE(dbReadField(r, c.column, i16));
        EXPECT_TRUE(dbReadField(r, c.column, i32));
        EXPECT_TRUE(dbReadField(r, c.column, i64));
        EXPECT_EQ(i16, c.as16) << c.column;
        EXPECT_EQ(i32, c.as32) << c.column;
        EXPECT_EQ(i64, c.as64) << c.column;
    }
}

TEST_F(DatabaseOps, FailedReadsLeaveTheVariableUnchanged)
{
    createTypedTable();
    ResultPtr r = row(1);
    qint32 value = 99;
    QString text = QStringLiteral("kept");
    DateTimeValue date;
    date.days = 7.0;
    EXPECT_FALSE(dbReadField(r, "id", value)) << "column names are case-sensitive";
    EXPECT_FALSE(dbReadField(r, "I", value));
    EXPECT_FALSE(dbReadField(r, QStringLiteral("Id"), text));
    EXPECT_FALSE(dbReadField(r, "nosuch", date));
    EXPECT_FALSE(dbReadField(r, 13, value));
    EXPECT_FALSE(dbReadField(r, -1, value));
    EXPECT_TRUE(dbReadField(r, "ID", value));
    EXPECT_EQ(value, 1);
    value = 99;

    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT * FROM typed WHERE ID=-1")));
    ResultPtr empty = dbStoreResult(s_conn);
    ASSERT_TRUE(empty) << "a query with no rows still has a result";
    EXPECT_EQ(dbRowCount(empty), 0);
    EXPECT_FALSE(dbReadField(empty, "ID", value));
    EXPECT_FALSE(dbReadField(empty, "d", date));
    EXPECT_FALSE(dbNextRow(empty));

    ResultPtr none;
    EXPECT_FALSE(dbReadField(none, "ID", value));
    EXPECT_FALSE(dbReadField(none, 0, text));
    EXPECT_FALSE(dbNextRow(none));
    EXPECT_EQ(dbRowCount(none), 0);
    dbFreeResult(none);

    EXPECT_EQ(value, 99);
    EXPECT_EQ(text, QStringLiteral("kept"));
    EXPECT_EQ(date.days, 7.0);
}

TEST_F(DatabaseOps, CursorWalksRowsAndRereadsTheLastRowAfterTheEnd)
{
    createTypedTable();
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT ID FROM typed ORDER BY ID")));
    ResultPtr r = dbStoreResult(s_conn);
    ASSERT_EQ(dbRowCount(r), 4);
    QList<qint32> seen;
    for (qint64 i = 0; i < dbRowCount(r); ++i) {
        qint32 id = 0;
        EXPECT_TRUE(dbReadField(r, "ID", id));
        EXPECT_TRUE(dbReadField(r, "ID", id)) << "reading does not move the cursor";
        seen.append(id);
        EXPECT_TRUE(dbNextRow(r)) << "the cursor stood on row " << i;
    }
    EXPECT_EQ(seen, QList<qint32>({1, 2, 3, 4}));
    EXPECT_FALSE(dbNextRow(r));
    EXPECT_FALSE(dbNextRow(r));
    qint32 last = 0;
    EXPECT_TRUE(dbReadField(r, "ID", last));
    EXPECT_EQ(last, 4);
    dbFreeResult(r);
    EXPECT_FALSE(r);

    // a one-row count query is read once, without moving
    EXPECT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT count(*) AS suliang FROM typed")));
    ResultPtr count = dbStoreResult(s_conn);
    qint32 suliang = 0;
    EXPECT_TRUE(dbReadField(count, "suliang", suliang));
    EXPECT_EQ(suliang, 4);

    // a Chinese column name matches whether given as text or as a literal of the source
    EXPECT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT count(*) AS 数量, max(v) AS 车牌 FROM typed")));
    ResultPtr named = dbStoreResult(s_conn);
    suliang = 0;
    QString plate;
    EXPECT_TRUE(dbReadField(named, QStringLiteral("数量"), suliang));
    EXPECT_EQ(suliang, 4);
    EXPECT_TRUE(dbReadField(named, "车牌", plate));
    EXPECT_EQ(plate, QStringLiteral("豫A縗籠"));
    EXPECT_FALSE(dbReadField(named, "车", plate));
}

TEST_F(DatabaseOps, StoreResultOnlyAfterAStatementWithRows)
{
    createTypedTable();
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("UPDATE typed SET i=i")));
    EXPECT_FALSE(dbStoreResult(s_conn)) << "an update has no result set";
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT 1")));
    EXPECT_TRUE(dbStoreResult(s_conn));
    EXPECT_FALSE(dbStoreResult(s_conn)) << "the result is taken once";
    ASSERT_TRUE(dbExecute(s_conn, QStringLiteral("SELECT 1")));
    EXPECT_FALSE(dbExecute(s_conn, QStringLiteral("SELECT * FROM no_such_table")));
    EXPECT_FALSE(dbStoreResult(s_conn)) << "a failed statement leaves no result, not the one before";
    EXPECT_FALSE(s_conn->keptReply().error.isEmpty());
    EXPECT_FALSE(dbStoreResult(ConnectionPtr()));
}

TEST_F(DatabaseOps, InsertAndUpdateRunTheirStatements)
{
    mustExecute(s_conn, QStringLiteral("DELETE FROM celiangzongbiao"));
    const QString table = QStringLiteral("celiangzongbiao");
    auto matched = [] { return s_conn->keptReply().matchedRows; };
    EXPECT_TRUE(dbInsert(s_conn, table, Statement("cepaihao=?, cezuxingming=?").bind("豫A12345").bind("张三")));
    EXPECT_EQ(matched(), 1);
    EXPECT_TRUE(dbInsert(s_conn, table, Statement("cepaihao=?, cezuxingming=?").bind("豫B54321").bind("李四")));
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT cezuxingming FROM celiangzongbiao WHERE cepaihao='豫A12345'")),
        QStringLiteral("张三"));

    EXPECT_TRUE(dbUpdate(s_conn, table, Statement("cezudianhua=?").bind("13800138000"), Statement("cepaihao=?").bind("豫B54321")));
    EXPECT_EQ(matched(), 1);
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE cezudianhua='13800138000'")),
        QStringLiteral("1"));
    // an update that changes nothing still reports the row it matched
    EXPECT_TRUE(dbUpdate(s_conn, table, Statement("cezudianhua=?").bind("13800138000"), Statement("cepaihao=?").bind("豫B54321")));
    EXPECT_EQ(matched(), 1);
    // an empty condition updates every row
    EXPECT_TRUE(dbUpdate(s_conn, table, Statement("jibenbeizu=?").bind("全部"), Statement()));
    EXPECT_EQ(matched(), 2);
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE jibenbeizu='全部'")),
        QStringLiteral("2"));
    // integers go bare, a missing value is NULL, a date is quoted, an invalid one NULL
    EXPECT_TRUE(dbUpdate(s_conn, table,
        Statement("jibenbeizu=?, danganbianhao=?, cezuxingming=?").bindNull().bind(qint64(9000000000)).bind(QDate(2016, 5, 31)),
        Statement("cepaihao=?").bind("豫A12345")));
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT concat_ws('|', ifnull(jibenbeizu, 'NULL'), danganbianhao, cezuxingming) "
                                                "FROM celiangzongbiao WHERE cepaihao='豫A12345'")),
        QStringLiteral("NULL|9000000000|2016-05-31"));

    EXPECT_FALSE(dbInsert(s_conn, table, Statement("nosuchcolumn=?").bind("x")));
    EXPECT_FALSE(dbUpdate(s_conn, QStringLiteral("nosuchtable"), Statement("a=1"), Statement()));
    EXPECT_FALSE(dbInsert(ConnectionPtr(), table, Statement("cepaihao=?").bind("x")));
    EXPECT_FALSE(dbUpdate(ConnectionPtr(), table, Statement("cepaihao=?").bind("x"), Statement()));
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QStringLiteral("2"));
}

TEST_F(DatabaseOps, TextGbkCannotHoldIsRefusedBeforeSending)
{
    mustExecute(s_conn, QStringLiteral("DELETE FROM celiangzongbiao"));
    EXPECT_FALSE(dbInsert(s_conn, QStringLiteral("celiangzongbiao"), Statement("cepaihao='豫A😀'")));
    EXPECT_FALSE(s_conn->keptReply().error.isEmpty());
    EXPECT_EQ(queryValue(s_conn, QStringLiteral("SELECT count(*) FROM celiangzongbiao")), QStringLiteral("0"))
        << "nothing, not a text with '?', may be stored";
}

TEST(DatabaseConnect, SettingsAndFailures)
{
    const fd::Settings s = fd::test::stackSettings();
    const QString host = decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    const QString user = decipherSetting(s.dbUser, s.settingKeyB, s.xorMask);
    const QString password = decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask);

    ConnectionPtr good = dbConnect(host, user, password, QStringLiteral("yunsugongsi"), s.dbPort);
    ASSERT_TRUE(good);
    EXPECT_EQ(queryValue(good, QStringLiteral("SELECT count(*) FROM mimabiao WHERE yonghuming='admin'")), QStringLiteral("1"));
    EXPECT_EQ(queryValue(good, QStringLiteral("SELECT @@character_set_client")), QStringLiteral("gbk"));
    EXPECT_EQ(queryValue(good, QStringLiteral("SELECT @@character_set_results")), QStringLiteral("gbk"));
    EXPECT_TRUE(dbExecute(good, QStringLiteral("set names GBK")));

    // no database: tables must be named with theirs
    ConnectionPtr noDatabase = dbConnect(host, user, password, QString(), s.dbPort);
    ASSERT_TRUE(noDatabase);
    EXPECT_FALSE(dbExecute(noDatabase, QStringLiteral("SELECT count(*) FROM mimabiao")));
    EXPECT_EQ(queryValue(noDatabase, QStringLiteral("SELECT count(*) FROM yunsugongsi.mimabiao")), QStringLiteral("1"));

    QString error;
    EXPECT_FALSE(dbConnect(host, user, QStringLiteral("wrong"), QStringLiteral("yunsugongsi"), s.dbPort, &error));
    EXPECT_FALSE(error.isEmpty());
    // a deciphered setting that failed its check is empty and the attempt fails
    EXPECT_FALSE(dbConnect(host, user, decipherSetting(s.dbPassword, s.settingKeyA, s.xorMask), QStringLiteral("yunsugongsi"), s.dbPort));
    EXPECT_FALSE(dbConnect(host, user, password, QStringLiteral("no_such_database"), s.dbPort));
    EXPECT_FALSE(dbConnect(host, user, password, QStringLiteral("yunsugongsi"), s.dbPort + 50)) << "nothing listens there";
    // a setting GBK cannot hold fails the attempt instead of connecting without it
    EXPECT_FALSE(dbConnect(host, user, password + QStringLiteral("😀"), QStringLiteral("yunsugongsi"), s.dbPort));
    EXPECT_FALSE(dbConnect(host, user + QStringLiteral("😀"), password, QStringLiteral("yunsugongsi"), s.dbPort));
    EXPECT_FALSE(dbConnect(host, user, password, QStringLiteral("yunsugongsi😀"), s.dbPort)) << "not: no database selected";

    // after closing, the handle is none and every operation reports failure
    dbClose(good);
    EXPECT_FALSE(good);
    EXPECT_FALSE(dbExecute(good, QStringLiteral("SELECT 1")));
    EXPECT_FALSE(dbStoreResult(good));
    dbClose(good);
    ConnectionPtr none;
    dbClose(none);
    EXPECT_FALSE(dbExecute(none, QStringLiteral("SELECT 1")));
}

TEST(DatabaseConnect, ResultOutlivesItsConnection)
{
    ConnectionPtr conn = fd::test::connectStack(QStringLiteral("yunsugongsi"));
    ASSERT_TRUE(conn);
    ASSERT_TRUE(dbExecute(conn, QStringLiteral("SELECT yonghuming FROM mimabiao")));
    ResultPtr r = dbStoreResult(conn);
    // a copy of the handle kept elsewhere (a worker) sees the connection closed, not freed
    ConnectionPtr copy = conn;
    dbClose(conn);
    EXPECT_FALSE(copy->isOpen());
    EXPECT_FALSE(dbExecute(copy, QStringLiteral("SELECT 1")));
    QString name;
    EXPECT_TRUE(dbReadField(r, "yonghuming", name));
    EXPECT_EQ(name, QStringLiteral("admin"));
    dbFreeResult(r);
}
