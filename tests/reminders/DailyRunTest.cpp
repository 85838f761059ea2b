// fleetdesk-remind's day: one run at a time for the company, a dry run that writes nothing, and
// the rules stored as typed, all or nothing.
#include "ReminderFixture.h"
#include "db/ProgramTables.h"
#include "db/ThreadSession.h"
#include "net/Endpoints.h"
#include "reminders/DailyRun.h"
#include "reminders/ReminderRules.h"

#include <thread>

namespace fd::test {
namespace {

qint64 testDay() { return datetime::daysFromCivil(2016, 12, 20); }

class DailyRunTest : public ReminderFixture {
protected:
    // runDay on the connection, its report kept.
    int runDay(const db::ConnectionPtr& connection, QString& report, const QString& runner = u"test"_s)
    {
        reminders::RunOptions o = options;
        o.runner = runner;
        return reminders::runDay(connection, account, testDay(), o, [&](const QString& line) { report += line + u'\n'; });
    }
};

TEST_F(DailyRunTest, TwoRunsAtOnceLeaveTheDayToOneAndKeepThePace)
{
    options.paceMs = 300;
    QString reportA, reportB;
    int a = -1, b = -1;
    // The other office: a thread with a session of its own.
    std::thread t([&, database = db->options()] {
        const db::ConnectionPtr other = db::threadSession(database);
        b = other ? runDay(other, reportB, u"office-b"_s) : -1;
    });
    a = runDay(db, reportA, u"office-a"_s);
    t.join();
    EXPECT_EQ(std::min(a, b), 0) << reportA.toStdString() << reportB.toStdString();
    EXPECT_EQ(std::max(a, b), reminders::kExitOtherRun);
    const QString& left = a == 0 ? reportB : reportA;
    EXPECT_TRUE(left.contains(u"另一次自动提醒正在发送"_s) && left.contains(a == 0 ? u"office-a"_s : u"office-b"_s))
        << left.toStdString();
    // Neither took the other's stages on their way for unresolved ones.
    EXPECT_FALSE((reportA + reportB).contains(u"结果不明，"_s));
    EXPECT_TRUE((a == 0 ? reportA : reportB).contains(u"发送成功5条"_s));
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 5);
    for (int i = 1; i < got.size(); ++i)
        EXPECT_GE(got[i].time - got[i - 1].time, 0.29);
    EXPECT_EQ(queryValue(db, u"select pingzheng from tixingyunxing"_s), QString()); // released
}

TEST_F(DailyRunTest, AClaimLeftByADeadRunIsTakenOverOnlyWhenStale)
{
    struct Case {
        int heartbeatMinutesAgo;
        int status;
        int sent;
    };
    for (const Case& c : {Case {1, reminders::kExitOtherRun, 0}, Case {10, 0, 5}}) {
        SCOPED_TRACE(c.heartbeatMinutesAgo);
        mustExecute(db, u"replace into tixingyunxing set mingcheng='fasong',pingzheng='killed',jiqi='office-a',"
                         "kaishishijian=now()-interval %1 minute,xintiaoshijian=now()-interval %1 minute"_s
                             .arg(c.heartbeatMinutesAgo));
        QString report;
        EXPECT_EQ(runDay(db, report), c.status) << report.toStdString();
        EXPECT_EQ(Simulator::received().size(), c.sent);
    }
    // The run that was taken for dead stops at its next message instead of going on beside.
    mustExecute(db, u"update tixingyunxing set pingzheng='another'"_s);
    reminders::RunOptions o = options;
    o.claimToken = u"killed"_s;
    mustExecute(db, u"update celiangzongbiao set zucebaoxianyouxiaoqi='2017-1-11' where cepaihao='豫A00001'"_s);
    const reminders::ReminderPlan plan = today();
    const reminders::RunSummary run = reminders::sendPlan(db, account, plan, o);
    EXPECT_TRUE(run.claimLost);
    EXPECT_EQ(run.sent, 0);
    EXPECT_EQ(reminders::exitStatus(plan, run), 1);
}

TEST_F(DailyRunTest, ADryRunWritesNothingAndNeedsOnlyReading)
{
    mustExecute(db, u"create user if not exists 'fd_reminder_reader'@'127.0.0.1' identified by 'lesen'"_s);
    mustExecute(db, u"grant select on fd_reminder_tests.* to 'fd_reminder_reader'@'127.0.0.1'"_s);
    db::Connection::Options o = net::endpointsOf(settings).database;
    o.database = kReminderDb;
    o.user = u"fd_reminder_reader"_s;
    o.password = u"lesen"_s;
    QString error;
    db::ConnectionPtr reader = db::dbConnect(o, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    const QString tables = u"select group_concat(table_name order by table_name) from information_schema.tables "
                           "where table_schema='fd_reminder_tests' and table_name like 'tixing%'"_s;
    struct Case {
        const char* name;
        QString tablesThere;
        bool storedRules;
    };
    const Case cases[] = {
        {"tables there", u"tixingguize,tixingjilu,tixingshezhi,tixingyunxing"_s, true},
        // Not made yet: planned with the default rules (no signature), and still not made after it.
        {"tables missing", u"<null>"_s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.storedRules)
            mustExecute(db, u"drop table tixingguize,tixingjilu,tixingshezhi,tixingyunxing"_s);
        ASSERT_EQ(queryValue(db, tables), c.tablesThere);
        QString report;
        EXPECT_EQ(reminders::dryRunDay(reader, testDay(), [&](const QString& l) { report += l + u'\n'; }), 0)
            << report.toStdString();
        EXPECT_TRUE(report.contains(u"待发送5条"_s)) << report.toStdString();
        EXPECT_EQ(report.contains(u"【测试运输】"_s), c.storedRules) << report.toStdString();
        EXPECT_EQ(queryValue(db, tables), c.tablesThere);
        EXPECT_EQ(Simulator::received().size(), 0);
    }
}

TEST_F(DailyRunTest, TheProgramsTablesAreMadeWhenMissingAndKeptWithTheirRows)
{
    const QString tables = u"select group_concat(table_name order by table_name) from information_schema.tables "
                           "where table_schema='fd_reminder_tests' and table_name in ('tixingguize','tixingjilu',"
                           "'tixingshezhi','tixingyunxing','beifenjilu','huifujilu')"_s;
    // A database from before the program kept them.
    mustExecute(db, u"drop table tixingguize,tixingjilu,tixingshezhi,tixingyunxing,beifenjilu,huifujilu"_s);
    QString error;
    ASSERT_TRUE(db::ensureProgramTables(*db, &error)) << error.toStdString();
    EXPECT_EQ(queryValue(db, tables), u"beifenjilu,huifujilu,tixingguize,tixingjilu,tixingshezhi,tixingyunxing"_s);
    QString report;
    EXPECT_EQ(runDay(db, report), 0) << report.toStdString();
    EXPECT_EQ(Simulator::received().size(), 5);

    // Made again at the next start: what the day stored stays, and the next run sends nothing.
    ASSERT_TRUE(db::ensureProgramTables(*db, &error)) << error.toStdString();
    EXPECT_EQ(queryValue(db, u"select count(*) from tixingjilu where jieguo='成功'"_s), u"5"_s);
    EXPECT_EQ(queryValue(db, u"select count(*) from tixingguize"_s), u"7"_s);
    EXPECT_EQ(runDay(db, report), 0) << report.toStdString();
    EXPECT_EQ(Simulator::received().size(), 5);
}

TEST_F(DailyRunTest, RulesAreStoredAsTypedAndAFailedSaveStoresNothing)
{
    reminders::ReminderRules rules;
    ASSERT_TRUE(reminders::loadRules(db, rules));
    const reminders::ReminderRules before = rules;
    rules.rules[0].document = u"行车证%1"_s;
    rules.rules[0].action = u"缴纳%5。"_s;
    rules.rules[1].daysBefore = {10};
    rules.signature = u"【%2运输】"_s;
    ASSERT_TRUE(reminders::saveRules(db, rules));
    reminders::ReminderRules stored;
    ASSERT_TRUE(reminders::loadRules(db, stored));
    EXPECT_EQ(stored.rules, rules.rules);
    EXPECT_EQ(stored.signature, rules.signature);

    // A text too long for its column, in the fourth rule: the three before it stay as they were.
    reminders::ReminderRules failing = before;
    failing.rules[3].document = QString(70, u'长');
    QString error;
    EXPECT_FALSE(reminders::saveRules(db, failing, &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(reminders::loadRules(db, stored));
    EXPECT_EQ(stored.rules, rules.rules);
    EXPECT_EQ(stored.signature, rules.signature);
}

} // namespace
} // namespace fd::test
