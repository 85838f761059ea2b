// Statements with bound values: where the values go, how each kind is written, and that a value
// can never become part of the statement's text.
#include "db/Statement.h"

#include <gtest/gtest.h>

using fd::db::Statement;

namespace {

QString rendered(const Statement& s)
{
    QString error;
    const QString text = s.render(Statement::escapeOffline, &error);
    return error.isEmpty() ? text : QStringLiteral("ERROR: ") + error.left(40);
}

} // namespace

TEST(Statement, PlaceholdersAreFoundOnlyOutsideLiteralsNamesAndComments)
{
    struct Case {
        const char* text;
        int placeholders;
    };
    const Case cases[] = {
        { "select * from t where a=? and b=?", 2 },
        { "select '?' from t where a=?", 1 },
        { "select 'it''s ?' from t where a=?", 1 },
        { "select 'a\\'?' from t where a=?", 1 },
        { "select \"?\" from t where `c?`=?", 1 },
        { "select 1 -- what?\nfrom t where a=?", 1 },
        { "select 1 # what?\nfrom t where a=?", 1 },
        { "select /* ? */ 1 from t where a=?", 1 },
        { "select a--?\nfrom t", 1 }, // "--" without a blank after it is two minus signs
        { "select 'unterminated ?", 0 },
        { "", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Statement(c.text).placeholderCount(), c.placeholders);
    }
}

TEST(Statement, EachKindOfValueIsWrittenAsTheServerReadsIt)
{
    struct Case {
        Statement statement;
        const char* text;
    };
    const Case cases[] = {
        { Statement("select count(*) as suliang from mimabiao where yonghuming=?and mima=?")
                .bind(QStringLiteral("admin"))
                .bind(QStringLiteral("12'3")),
            "select count(*) as suliang from mimabiao where yonghuming='admin'and mima='12''3'" },
        { Statement("update t set n=?, m=? where id=?").bind(-5).bind(qint64(1) << 40).bind(7u),
            "update t set n=-5, m=1099511627776 where id=7" },
        { Statement("insert into t set d=?, e=?, f=?").bind(QDate(2026, 2, 3)).bind(QDate()).bindNull(),
            "insert into t set d='2026-02-03', e=NULL, f=NULL" },
        { Statement("update t set ?=? where a like ?").bindSql(QStringLiteral("guanlibeizu")).bind(QString()).bind(QStringLiteral("%豫_%")),
            "update t set guanlibeizu='' where a like '%豫_%'" },
        { Statement("select ?").bind(std::optional<QString>()), "select NULL" },
        { Statement("select '?', ?").bind(QStringLiteral("?")), "select '?', '?'" },
        // a value that holds a placeholder or a quote stays a value
        { Statement("select ?, ?").bind(QStringLiteral("x' or '1'='1")).bind(QStringLiteral("a\\b\n")),
            "select 'x'' or ''1''=''1', 'a\\\\b\\n'" },
        { Statement("select 1 from t where a=?").bind(1).append(Statement(" and b=?").bind(2)),
            "select 1 from t where a=1 and b=2" },
        { Statement("select ?"), "ERROR: " },
        { Statement("select 1").bind(1), "ERROR: " },
        { Statement::verbatim(QStringLiteral("select '?' ?")), "select '?' ?" },
    };
    for (const Case& c : cases) {
        const QString got = rendered(c.statement);
        SCOPED_TRACE(got.toStdString());
        if (QByteArray(c.text).startsWith("ERROR: "))
            EXPECT_TRUE(got.startsWith(QStringLiteral("ERROR: ")));
        else
            EXPECT_EQ(got, QString::fromUtf8(c.text));
    }
}
