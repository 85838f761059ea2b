// Values bound to a statement can never change it: quotes, backslashes, NUL, GBK characters whose
// second byte is the backslash and LIKE wildcards are stored and found exactly as given, on a
// server that reads backslashes as escapes and on one that reads them as text
// (NO_BACKSLASH_ESCAPES).
#include "db/Database.h"

#include "../support/TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace fd::db;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kDatabase = QStringLiteral("fd_db_escape");

// The parameter: the session reads backslashes as text (NO_BACKSLASH_ESCAPES).
class Binding : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(fd::test::freshDatabase(kDatabase)); }
    void SetUp() override
    {
        m_session = fd::test::connectStack(kDatabase);
        ASSERT_TRUE(m_session);
        if (GetParam())
            mustExecute(m_session, QStringLiteral("SET SESSION sql_mode=CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
        mustExecute(m_session, QStringLiteral("DELETE FROM celiangzongbiao"));
    }

    Reply run(const Statement& statement) { return m_session->run(statement); }
    QString count(const QString& condition = QStringLiteral("1"))
    {
        return queryValue(m_session, QStringLiteral("SELECT count(*) FROM celiangzongbiao WHERE ") + condition);
    }

    ConnectionPtr m_session;
};

// Each of these, pasted between quotes unescaped or escaped byte by byte (not GBK-aware), closes
// the literal early. 縗 is BF 5C, 籠 BB 5C, 淺 9C 5C, 乗 81 5C.
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
        QStringLiteral("a ? in it"),
        QStringLiteral("1' , jibenbeizu = 0x70776E6564 -- "), // 0x70.. is 'pwned'
    };
}

} // namespace

TEST_P(Binding, HostileValuesAreStoredAndFoundExactly)
{
    const QStringList values = hostileValues();
    for (int i = 0; i < values.size(); ++i) {
        const Reply stored
            = run(Statement("INSERT INTO celiangzongbiao SET danganbianhao=?, cepaihao=?").bind(QString::number(i)).bind(values[i]));
        ASSERT_TRUE(stored.ok) << i << ": " << stored.error.toStdString();
        EXPECT_EQ(stored.matchedRows, 1) << i;
    }
    EXPECT_EQ(count(), QString::number(values.size()));
    EXPECT_EQ(count(QStringLiteral("jibenbeizu IS NOT NULL")), QStringLiteral("0")) << "a value set another column";

    for (int i = 0; i < values.size(); ++i) {
        // Looked up by the value itself: exactly its own row, never every row.
        const Reply found = run(Statement("SELECT danganbianhao, cepaihao FROM celiangzongbiao WHERE cepaihao=?").bind(values[i]));
        ASSERT_TRUE(found.ok && found.rows) << i << ": " << found.error.toStdString();
        EXPECT_EQ(found.rows->rowCount(), 1) << i;
        EXPECT_EQ(found.rows->text("danganbianhao"), QString::number(i));
        EXPECT_EQ(found.rows->text("cepaihao"), values[i]) << i;
    }
    // The stored bytes are the GBK bytes of the value, nothing added.
    EXPECT_EQ(queryValue(m_session, QStringLiteral("SELECT hex(cepaihao) FROM celiangzongbiao WHERE danganbianhao='0'")),
        QStringLiteral("BF5C27204F5220313D31202D2D20"));
}

TEST_P(Binding, AValueCannotWidenAnUpdate)
{
    ASSERT_TRUE(run(Statement("INSERT INTO celiangzongbiao SET cepaihao=?, cezuxingming=?").bind("豫A1").bind("甲")).ok);
    ASSERT_TRUE(run(Statement("INSERT INTO celiangzongbiao SET cepaihao=?, cezuxingming=?").bind("豫A2").bind("乙")).ok);
    for (const QString& hostile : hostileValues() + QStringList {QStringLiteral("縗' OR '1'='1"), QStringLiteral("籠\\' OR 1=1 -- ")}) {
        const Reply updated = run(Statement("UPDATE celiangzongbiao SET cezuxingming='改' WHERE cepaihao=?").bind(hostile));
        EXPECT_TRUE(updated.ok) << updated.error.toStdString();
        EXPECT_EQ(updated.matchedRows, 0) << hostile.toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("cezuxingming='改'")), QStringLiteral("0"));
    // The same update with the plate it names changes that row alone.
    EXPECT_EQ(run(Statement("UPDATE celiangzongbiao SET cezuxingming='改' WHERE cepaihao=?").bind("豫A2")).matchedRows, 1);
    EXPECT_EQ(count(QStringLiteral("cezuxingming='改'")), QStringLiteral("1"));
}

TEST_P(Binding, LikePatternsAreBoundWhole)
{
    for (const char* plate : {"豫A12345", "豫A54321", "豫B12345", "豫A_1", "豫A%1", "豫A縗1"})
        ASSERT_TRUE(run(Statement("INSERT INTO celiangzongbiao SET cepaihao=?").bind(plate)).ok);
    struct Case {
        QString pattern;
        qint64 matches;
    };
    const Case cases[] = {
        {QStringLiteral("%A%"), 5},
        {QStringLiteral("豫_12345"), 2},
        {QStringLiteral("%12345"), 2},
        {QStringLiteral("豫A縗%"), 1},
        {QStringLiteral("%' OR '1'='1"), 0},
        {QStringLiteral("%縗' OR 1=1 -- %"), 0},
        // An escaped wildcard matches the character itself.
        {QStringLiteral("%|%%"), 1},
        {QStringLiteral("豫A|_1"), 1},
    };
    for (const Case& c : cases) {
        const Reply found
            = run(Statement("SELECT count(*) FROM celiangzongbiao WHERE cepaihao LIKE ? ESCAPE '|'").bind(c.pattern));
        ASSERT_TRUE(found.ok) << c.pattern.toStdString() << ": " << found.error.toStdString();
        EXPECT_EQ(found.rows->integer(0), c.matches) << c.pattern.toStdString();
    }
}

TEST_P(Binding, PlaceholdersAreOnlyOutsideQuotesAndComments)
{
    // A "?" in a literal, a quoted name or a comment is text; the value fills the one placeholder.
    const Reply stored = run(Statement("INSERT INTO celiangzongbiao SET jibenbeizu='a?b', /* ? */ `cepaihao`=? -- ?\n")
                                 .bind(QStringLiteral("豫?1")));
    ASSERT_TRUE(stored.ok) << stored.error.toStdString();
    EXPECT_EQ(queryValue(m_session, QStringLiteral("SELECT concat(jibenbeizu, '|', cepaihao) FROM celiangzongbiao")),
        QStringLiteral("a?b|豫?1"));
    // A statement whose values do not fill its placeholders is never sent.
    const Reply short_ = run(Statement("INSERT INTO celiangzongbiao SET cepaihao=?, cezuxingming=?").bind("豫A3"));
    EXPECT_FALSE(short_.ok);
    EXPECT_EQ(count(), QStringLiteral("1"));
}

TEST_P(Binding, TextGbkCannotHoldIsNeverSent)
{
    // A value decoded from broken bytes carries U+FFFD, an emoji has no GBK form: neither may reach
    // the server as "?".
    for (const QString& value : {QStringLiteral("\uFFFD' OR 1=1 -- "), QStringLiteral("豫A😀")}) {
        const Reply refused = run(Statement("INSERT INTO celiangzongbiao SET cepaihao=?").bind(value));
        EXPECT_FALSE(refused.ok);
        EXPECT_FALSE(refused.error.isEmpty());
    }
    EXPECT_EQ(count(), QStringLiteral("0"));
}

INSTANTIATE_TEST_SUITE_P(ServerModes, Binding, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "NoBackslashEscapes" : "Default"; });
