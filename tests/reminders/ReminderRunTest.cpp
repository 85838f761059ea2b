// The reminder run against the stack's database and the SMS simulator: exactly the due messages,
// once per stage across reruns, killed runs, failures and two runs at once.
#include "ReminderFixture.h"
#include "db/ThreadSession.h"
#include "reminders/ReminderHistory.h"

#include <thread>

namespace fd::test {
namespace {

using reminders::PlanEntry;
using Status = reminders::PlanEntry::Status;

const QStringList kDueToday = {
    u"13800000001 尊敬的豫A00001车主，你的主车保险将于2017-01-10过期。请及时投保。【测试运输】"_s,
    u"13800000001 尊敬的豫A00001车主，你的管理费已经2016-12-19过期。请及时缴纳。【测试运输】"_s,
    u"13800000001 尊敬的豫A00001车主，你的营运证将于2016-12-27过期。请及时审验。【测试运输】"_s,
    u"13800000001 尊敬的豫A00001车主，你的行车证将于2017-01-19过期。请及时审验。【测试运输】"_s,
    u"13800000005 尊敬的豫A00005车主，你的行车证将于2016-12-22过期。请及时审验。【测试运输】"_s,
};

int countOf(const reminders::ReminderPlan& plan, const QString& plate, Status status)
{
    return static_cast<int>(std::count_if(plan.entries.begin(), plan.entries.end(),
        [&](const PlanEntry& e) { return e.plate == plate && e.status == status; }));
}

TEST_F(ReminderFixture, SendsTheDueStagesOnceAndReportsTheSkipped)
{
    const reminders::ReminderPlan plan = today();
    EXPECT_EQ(plan.count(Status::Send), 5);
    EXPECT_EQ(countOf(plan, u"豫A00002"_s, Status::OutOfService), 1);
    EXPECT_EQ(countOf(plan, u"豫A00003"_s, Status::NoPhone), 1);
    EXPECT_EQ(countOf(plan, u"豫A00004"_s, Status::BadPhone), 1);
    EXPECT_EQ(countOf(plan, u"豫A00006"_s, Status::OutOfService), 0); // expired long ago: not due at all
    const QString report = reminders::planReport(plan, true);
    EXPECT_TRUE(report.contains(u"豫A00004 1380000 行车证 2017-01-19 提前30天 手机号不是11位数字"_s))
        << report.toStdString();

    const reminders::RunSummary run = reminders::sendPlan(db, account, plan, options);
    EXPECT_EQ(run.sent, 5);
    EXPECT_EQ(run.failed, 0);
    EXPECT_EQ(reminders::exitStatus(plan, run), 0);
    EXPECT_EQ(receivedTexts(), kDueToday);
    // The log of the mass send holds every accepted message, with the day of the run.
    EXPECT_EQ(queryValue(db, u"select count(*) from duanxinbiao where sijian='2016-12-20'"_s), u"5"_s);
    EXPECT_EQ(queryValue(db, u"select count(*) from duanxinbiao where cepaihao='豫A00005' and neirong like "
                              "'%2016-12-22过期%'"_s),
        u"1"_s);
    EXPECT_EQ(queryValue(db, u"select count(*) from tixingjilu where jieguo='成功'"_s), u"5"_s);

    // The same day again: nothing new. The next day neither (no new stage has come).
    for (const auto& again : {today(), planFor(2016, 12, 21)}) {
        EXPECT_EQ(again.count(Status::Send), 0);
        EXPECT_EQ(again.count(Status::AlreadySent), 5);
        EXPECT_EQ(reminders::sendPlan(db, account, again, options).sent, 0);
    }
    EXPECT_EQ(Simulator::received().size(), 5);

    // A renewed driving permit starts its stages again.
    mustExecute(db, u"update celiangzongbiao set zuceyouxiaoriqi='2018-1-19' where cepaihao='豫A00001'"_s);
    EXPECT_EQ(countOf(planFor(2017, 12, 20), u"豫A00001"_s, Status::Send), 1);
}

TEST_F(ReminderFixture, AStageMarkedWithoutResultIsReportedNotResent)
{
    // A run killed between the mark and the result left 豫A00005's stage like this.
    mustExecute(db, u"insert into tixingjilu (cheliangid,cepaihao,wendang,youxiaoqi,jieduan,dianhua,neirong,"
                     "biaojishijian) select ID,cepaihao,'zuceyouxiaoriqi','2016-12-22',7,cezudianhua,'',now() "
                     "from celiangzongbiao where cepaihao='豫A00005'"_s);
    const reminders::ReminderPlan plan = today();
    EXPECT_EQ(countOf(plan, u"豫A00005"_s, Status::Unresolved), 1);
    const reminders::RunSummary run = reminders::sendPlan(db, account, plan, options);
    EXPECT_EQ(run.sent, 4);
    for (const Received& r : Simulator::received())
        EXPECT_NE(r.mobile, u"13800000005"_s);
    EXPECT_EQ(reminders::exitStatus(plan, run), 1);
    EXPECT_TRUE(reminders::summaryReport(plan, run).contains(u"结果不明待人工确认1条"_s));
}

// Only the entries of one vehicle, for faults that hit every request.
reminders::ReminderPlan onlyOf(reminders::ReminderPlan plan, const QString& plate)
{
    std::erase_if(plan.entries, [&](const PlanEntry& e) { return e.plate != plate; });
    return plan;
}

TEST_F(ReminderFixture, AStageNotSentGoesAgainAndOneWithoutAnswerWaitsForAPerson)
{
    const reminders::SmsAccount working = account;
    reminders::SmsAccount stopped = account; // the platform gone after the run's first requests
    stopped.platform.pieces[0] = u"http://127.0.0.1:%1/sms/send?uid="_s.arg(closedPort());
    struct Case {
        const char* name;
        QString fault;
        const reminders::SmsAccount* account;
        QString stored, said;
        bool sentAgain;
    };
    const Case cases[] = {
        {"refused", u"refuse=13800000005"_s, &working, u"未发出"_s, u"短信平台拒绝"_s, true},
        {"platform stopped", QString(), &stopped, u"未发出"_s, u"连接不上短信平台"_s, true},
        {"no answer", u"hang=1"_s, &working, u"<null>"_s, u"结果不明，待人工确认"_s, false},
        {"empty answer", u"empty=1"_s, &working, u"<null>"_s, u"结果不明，待人工确认"_s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mustExecute(db, u"delete from tixingjilu"_s);
        mustExecute(db, u"delete from duanxinbiao"_s);
        sim->reset();
        sim->fault(c.fault);
        const reminders::ReminderPlan plan = onlyOf(today(), u"豫A00005"_s);
        QStringList said;
        const reminders::RunSummary run = reminders::sendPlan(db, *c.account, plan, options, nullptr,
            [&](const reminders::StageOutcome& o) { said << o.result; });
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said[0].contains(c.said)) << said[0].toStdString();
        EXPECT_EQ(reminders::exitStatus(plan, run), 1);
        EXPECT_EQ(queryValue(db, u"select jieguo from tixingjilu"_s), c.stored);
        EXPECT_EQ(queryValue(db, u"select count(*) from duanxinbiao"_s), u"0"_s);

        // The next run, the platform well again: a message that did not go out goes now, once.
        sim->reset();
        const reminders::ReminderPlan next = onlyOf(today(), u"豫A00005"_s);
        EXPECT_EQ(next.count(Status::Send), c.sentAgain ? 1 : 0);
        EXPECT_EQ(next.count(Status::Unresolved), c.sentAgain ? 0 : 1);
        const reminders::RunSummary again = reminders::sendPlan(db, working, next, options);
        EXPECT_EQ(again.sent, c.sentAgain ? 1 : 0);
        EXPECT_EQ(reminders::exitStatus(next, again), c.sentAgain ? 0 : 1);
        EXPECT_EQ(queryValue(db, u"select count(*) from tixingjilu"_s), u"1"_s);
        EXPECT_EQ(countOf(onlyOf(today(), u"豫A00005"_s), u"豫A00005"_s, Status::Send), 0);
    }
}

TEST_F(ReminderFixture, APlatformGoneStopsTheRunAfterFiveFailuresAndTheNextRunSendsThem)
{
    vehicle(u"豫A00007"_s, u"13800000007"_s, u"正常"_s, u"zuceyouxiaoriqi='2017-1-19'"_s);
    vehicle(u"豫A00008"_s, u"13800000008"_s, u"正常"_s, u"zuceyouxiaoriqi='2017-1-19'"_s);
    reminders::SmsAccount stopped = account;
    stopped.platform.pieces[0] = u"http://127.0.0.1:%1/sms/send?uid="_s.arg(closedPort());
    for (int day = 0; day < 2; ++day) { // the same on the next run while the platform is away
        const reminders::ReminderPlan plan = today();
        ASSERT_EQ(plan.count(Status::Send), 7);
        const reminders::RunSummary run = reminders::sendPlan(db, stopped, plan, options);
        EXPECT_EQ(run.failed, 5);
        EXPECT_EQ(run.notReached, 2);
        EXPECT_EQ(reminders::exitStatus(plan, run), 1);
        EXPECT_TRUE(reminders::summaryReport(plan, run).contains(u"连续5条没有发送成功，运行停止，其余2条留给下一次运行"_s))
            << reminders::summaryReport(plan, run).toStdString();
    }
    const reminders::ReminderPlan plan = today();
    EXPECT_EQ(reminders::sendPlan(db, account, plan, options).sent, 7);
    EXPECT_EQ(Simulator::received().size(), 7);
}

TEST_F(ReminderFixture, TwoRunsAtOnceSendEachStageOnce)
{
    db::ConnectionPtr other = connectStack(kReminderDb);
    ASSERT_TRUE(other);
    // Both offices planned before either sent anything.
    const reminders::ReminderPlan first = today();
    const reminders::ReminderPlan second = planFor(2016, 12, 20, other);
    ASSERT_EQ(second.count(Status::Send), 5);
    reminders::RunSummary a, b;
    // The other office sends from a thread with a session of its own.
    std::thread t([&, database = other->options()] {
        if (const db::ConnectionPtr session = db::threadSession(database))
            b = reminders::sendPlan(session, account, second, options);
    });
    a = reminders::sendPlan(db, account, first, options);
    t.join();
    EXPECT_EQ(a.sent + b.sent, 5);
    EXPECT_EQ(a.takenElsewhere + b.takenElsewhere, 5);
    EXPECT_EQ(receivedTexts(), kDueToday);
}

TEST_F(ReminderFixture, KeepsTheOneSecondPace)
{
    options.paceMs = 300;
    const reminders::ReminderPlan plan = today();
    reminders::sendPlan(db, account, plan, options);
    const QList<Received> got = Simulator::received();
    ASSERT_EQ(got.size(), 5);
    for (int i = 1; i < got.size(); ++i)
        EXPECT_GE(got[i].time - got[i - 1].time, 0.29);
}

TEST_F(ReminderFixture, TheHistoryFilterFindsThePlatesThatContainItAsTyped)
{
    const QStringList plates {u"豫A%1"_s, u"豫A_1"_s, u"豫A|1"_s, u"豫A\\1"_s, u"豫AB1"_s, u"豫A縗1"_s};
    for (int i = 0; i < plates.size(); ++i) {
        const db::Reply stored = db->run(
            db::Statement("insert into tixingjilu set cheliangid=?,cepaihao=?,wendang='zuceyouxiaoriqi',"
                          "youxiaoqi='2016-12-22',jieduan=7,biaojishijian=now()")
                .bind(i + 1)
                .bind(plates[i]));
        ASSERT_TRUE(stored.ok) << stored.error.toStdString();
    }
    struct Case {
        QString filter;
        QStringList found;
    };
    const Case cases[] = {
        {u"%"_s, {u"豫A%1"_s}},
        {u"_"_s, {u"豫A_1"_s}},
        {u"|"_s, {u"豫A|1"_s}},
        {u"\\"_s, {u"豫A\\1"_s}},
        {u"A%"_s, {u"豫A%1"_s}},
        {u"縗"_s, {u"豫A縗1"_s}},
        {u"' or '1'='1"_s, {}},
        {QString(), plates},
    };
    // The same on a session that reads backslashes as text.
    db::ConnectionPtr plain = connectStack(kReminderDb);
    ASSERT_TRUE(plain);
    mustExecute(plain, u"set session sql_mode=concat(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"_s);
    for (const db::ConnectionPtr& session : {db, plain}) {
        for (const Case& c : cases) {
            std::vector<reminders::HistoryRow> rows;
            QString error;
            ASSERT_TRUE(reminders::readHistory(session, c.filter, 100, rows, &error)) << error.toStdString();
            QStringList found;
            for (const reminders::HistoryRow& row : rows)
                found << row.plate;
            found.sort();
            QStringList expected = c.found;
            expected.sort();
            EXPECT_EQ(found, expected) << (session == plain ? "NO_BACKSLASH_ESCAPES, " : "") << c.filter.toStdString();
        }
    }
}

} // namespace
} // namespace fd::test
