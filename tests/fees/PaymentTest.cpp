// Taking a payment: the ledger, the vehicle's columns and their history together or not at all,
// numbers without gaps, another office's change never overwritten, the management fee's months.
#include "FeesFixture.h"

#include "common/DateTime.h"
#include "db/Transaction.h"
#include "fees/ReceiptNumber.h"

#include <QDate>

using namespace fd;
using namespace fd::fees;

namespace {

QString number(int sequence)
{
    return receiptNumberText(QStringLiteral("A"), QDate::currentDate().year(), sequence);
}

} // namespace

TEST(ManagementExpiry, MonthsCountFromTheStoredDateOrFromTodayWhenEmptyOrLongPast)
{
    const QDate today(2026, 5, 20);
    const struct {
        QDate current;
        int months;
        QDate after;
        bool fromToday;
    } cases[] = {
        {QDate(2026, 8, 31), 12, QDate(2027, 8, 31), false},
        {QDate(2026, 3, 31), 1, QDate(2026, 4, 30), false}, // the month's last day
        {QDate(2026, 2, 20), 12, QDate(2027, 2, 20), false}, // ran out three months ago: still from it
        {QDate(2026, 2, 19), 12, QDate(2027, 5, 20), true},  // longer ago: from today
        {QDate(), 6, QDate(2026, 11, 20), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current.toString(Qt::ISODate).toStdString());
        const ExpiryMove move = moveExpiry(c.current, today, c.months);
        EXPECT_EQ(move.after, c.after);
        EXPECT_EQ(move.fromToday, c.fromToday);
        EXPECT_FALSE(expiryNote(move).isEmpty());
    }
}

TEST_F(FeesTest, APaymentWritesTheLedgerTheColumnsAndTheirHistoryTogether)
{
    // The first payment makes the ledger's tables.
    test::mustExecute(session, QStringLiteral("DROP TABLE shoufeijilu, shoujuhaoma"));
    const qint64 id = addVehicle(QStringLiteral("豫A10001"), QStringLiteral("1,200"), QStringLiteral("200元"),
        QDate::currentDate().addMonths(-1).toString(Qt::ISODate));
    PaymentRequest p = request(id, 60050, 12);
    EXPECT_EQ(p.read.status.due.fen, 120000);
    EXPECT_EQ(p.read.status.paid.fen, 20000);

    const PaymentResult r = takePayment(*session, p);
    ASSERT_EQ(r.outcome, PaymentResult::Taken) << r.error.toStdString() << r.details.toStdString();
    EXPECT_EQ(r.receiptNumber, number(1));
    // The stored texts are carried into period 1: 1000.00 still owed, 600.50 of it paid now.
    EXPECT_EQ(r.after.period, 1);
    EXPECT_EQ(r.after.due.fen, 100000);
    EXPECT_EQ(r.after.paid.fen, 60050);
    const QString where = QStringLiteral(" from celiangzongbiao where ID=%1").arg(id);
    EXPECT_EQ(value("select guanliyingjiaofei" + where), QStringLiteral("1000.00"));
    EXPECT_EQ(value("select guanliyijiaofei" + where), QStringLiteral("600.50"));
    EXPECT_EQ(value("select guanlihaiqianfei" + where), QStringLiteral("399.50"));
    EXPECT_EQ(value("select guanlijingbanren" + where), QStringLiteral("小王"));
    EXPECT_EQ(value("select guanlijiaofeiriqi=curdate()" + where), QStringLiteral("1"));
    EXPECT_EQ(value("select guanlifeiyouxiaoqi" + where),
        QDate::currentDate().addMonths(-1).addMonths(12).toString(Qt::ISODate));
    EXPECT_EQ(value(QStringLiteral("select concat(leixing,qijian,':',jine) from shoufeijilu where leixing='应缴'")),
        QStringLiteral("应缴1:100000"));
    EXPECT_EQ(value(QStringLiteral("select concat(shoujuhao,' ',jine,' ',yueshu,' ',dayincishu) from shoufeijilu"
                                   " where leixing='收费'")),
        number(1) + QStringLiteral(" 60050 12 1"));
    // One history row per changed column, operation 收费.
    EXPECT_EQ(value(QStringLiteral("select count(*) from xiugaijilu where caozuo='收费' and cheliangid=%1").arg(id)),
        QStringLiteral("6"));
    EXPECT_EQ(value(QStringLiteral("select concat(jiuzhi,'>',xinzhi) from xiugaijilu where ziduan='guanliyijiaofei'")),
        QStringLiteral("200元>600.50"));

    // A second payment of the same period adds to it; the numbers follow without a gap.
    const PaymentResult second = takePayment(*session, request(id, 39950));
    ASSERT_EQ(second.outcome, PaymentResult::Taken) << second.error.toStdString();
    EXPECT_EQ(second.receiptNumber, number(2));
    EXPECT_EQ(second.after.period, 1);
    EXPECT_EQ(value("select concat(guanliyijiaofei,'/',guanlihaiqianfei)" + where), QStringLiteral("1000.00/0.00"));
}

TEST_F(FeesTest, APaymentWhoseSessionDiesBeforeTheCommitLeavesNothingAndTakesNoNumber)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10002"), QStringLiteral("1200"), QStringLiteral(""));
    const PaymentRequest p = request(id, 120000, 12);
    auto killer = test::connectStack(QStringLiteral("fd_fees_test"));
    ASSERT_TRUE(killer);
    const unsigned long victim = session->threadId();
    setBeforeCommitHook([&] {
        setBeforeCommitHook(nullptr);
        test::mustExecute(killer, QStringLiteral("KILL CONNECTION %1").arg(victim));
    });
    const PaymentResult r = takePayment(*session, p);
    setBeforeCommitHook(nullptr);
    EXPECT_EQ(r.outcome, PaymentResult::Failed);
    EXPECT_EQ(test::queryValue(killer, QStringLiteral("select count(*) from shoufeijilu")), QStringLiteral("0"));
    EXPECT_EQ(test::queryValue(killer, QStringLiteral("select count(*) from xiugaijilu")), QStringLiteral("0"));
    EXPECT_EQ(test::queryValue(killer,
                  QStringLiteral("select concat(ifnull(guanliyijiaofei,'-'),ifnull(guanlifeiyouxiaoqi,'-'))"
                                 " from celiangzongbiao where ID=%1")
                      .arg(id)),
        QStringLiteral("-"));
    // The session comes back for the next statement; the number was not used up.
    const PaymentResult again = takePayment(*session, request(id, 120000, 12));
    ASSERT_EQ(again.outcome, PaymentResult::Taken) << again.error.toStdString() << again.details.toStdString();
    EXPECT_EQ(again.receiptNumber, number(1));
}

TEST_F(FeesTest, APaymentNeverOverwritesAnotherOfficesChangeOfTheFee)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10003"), QStringLiteral("800"), QStringLiteral("0"));
    const PaymentRequest stale = request(id, 10000);
    // Another office types a new paid amount into the vehicle window meanwhile.
    test::mustExecute(session, QStringLiteral("update celiangzongbiao set guanliyijiaofei='300' where ID=%1").arg(id));
    const PaymentResult r = takePayment(*session, stale);
    EXPECT_EQ(r.outcome, PaymentResult::Conflict);
    EXPECT_EQ(r.changedColumns, QStringList {QStringLiteral("guanliyijiaofei")});
    EXPECT_EQ(value(QStringLiteral("select count(*) from shoufeijilu")), QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("select guanliyijiaofei from celiangzongbiao where ID=%1").arg(id)),
        QStringLiteral("300"));
    // Read again, the payment goes through on what is stored now.
    const PaymentResult fresh = takePayment(*session, request(id, 10000));
    ASSERT_EQ(fresh.outcome, PaymentResult::Taken) << fresh.error.toStdString();
    EXPECT_EQ(fresh.after.due.fen, 50000);
    EXPECT_EQ(fresh.after.paid.fen, 10000);
}

TEST_F(FeesTest, AnUnreadableStoredFeeIsNeverCountedButANewAmountDueOpensAPeriod)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10004"), QStringLiteral("一千二"), QStringLiteral("300"));
    PaymentRequest p = request(id, 50000);
    EXPECT_FALSE(p.read.status.due.readable);
    EXPECT_FALSE(p.read.status.owed().readable);
    EXPECT_EQ(p.read.status.owed().shown(), QStringLiteral("一千二（无法识别）"));
    EXPECT_EQ(takePayment(*session, p).outcome, PaymentResult::Refused);
    EXPECT_EQ(value(QStringLiteral("select count(*) from shoufeijilu")), QStringLiteral("0"));

    p.newDueFen = 120000;
    const PaymentResult r = takePayment(*session, p);
    ASSERT_EQ(r.outcome, PaymentResult::Taken) << r.error.toStdString();
    EXPECT_EQ(r.after.period, 1);
    EXPECT_EQ(value(QStringLiteral("select concat(guanliyingjiaofei,'/',guanliyijiaofei,'/',guanlihaiqianfei)"
                                   " from celiangzongbiao where ID=%1")
                        .arg(id)),
        QStringLiteral("1200.00/500.00/700.00"));
    // A new amount due later opens period 2, which starts with nothing paid.
    PaymentRequest next = request(id, 20000);
    next.newDueFen = 150000;
    const PaymentResult r2 = takePayment(*session, next);
    ASSERT_EQ(r2.outcome, PaymentResult::Taken) << r2.error.toStdString();
    EXPECT_EQ(r2.after.period, 2);
    EXPECT_EQ(r2.after.owed().fen, 130000);
}

TEST_F(FeesTest, ANewAmountDueStoredOnTheVehicleOpensTheNextPeriodAtItsFirstPayment)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10006"), QStringLiteral("1000"), QStringLiteral("0"));
    ASSERT_EQ(takePayment(*session, request(id, 100000)).outcome, PaymentResult::Taken);
    const QString row = QStringLiteral(" where ID=%1").arg(id);
    const QString where = QStringLiteral(" from celiangzongbiao") + row;

    // The same amount written another way is no new amount; another one is, with nothing paid yet.
    test::mustExecute(session, "update celiangzongbiao set guanliyingjiaofei='1,000'" + row);
    EXPECT_EQ(request(id, 1).read.status.period, 1);
    test::mustExecute(session, "update celiangzongbiao set guanliyingjiaofei='1200'" + row);
    const PaymentRequest p = request(id, 50000);
    EXPECT_TRUE(p.read.status.dueFromVehicle);
    EXPECT_EQ(p.read.status.period, 2);
    EXPECT_EQ(p.read.status.due.fen, 120000);
    EXPECT_EQ(p.read.status.paid.fen, 0);

    const PaymentResult r = takePayment(*session, p);
    ASSERT_EQ(r.outcome, PaymentResult::Taken) << r.error.toStdString();
    EXPECT_EQ(r.after.period, 2);
    EXPECT_EQ(value(QStringLiteral("select group_concat(qijian,':',jine order by ID) from shoufeijilu"
                                   " where leixing='应缴' and cheliangid=%1")
                        .arg(id)),
        QStringLiteral("1:100000,2:120000"));
    EXPECT_EQ(value("select concat(guanliyingjiaofei,'/',guanliyijiaofei,'/',guanlihaiqianfei)" + where),
        QStringLiteral("1200.00/500.00/700.00"));
    EXPECT_FALSE(request(id, 1).read.status.dueFromVehicle);

    // 本期应缴 typed in the payment window over a vehicle's new amount replaces it: no period skipped.
    test::mustExecute(session, "update celiangzongbiao set guanliyingjiaofei='900'" + row);
    PaymentRequest typed = request(id, 10000);
    typed.newDueFen = 80000;
    const PaymentResult r2 = takePayment(*session, typed);
    ASSERT_EQ(r2.outcome, PaymentResult::Taken) << r2.error.toStdString();
    EXPECT_EQ(r2.after.period, 3);
    EXPECT_EQ(r2.after.owed().fen, 70000);
}

TEST_F(FeesTest, OtherFeesKeepPeriodsPerNameAndTouchNoVehicleColumn)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10005"));
    PaymentRequest parking = request(id, 5000, 0, FeeKind::Other);
    parking.otherName = QStringLiteral("停车费");
    parking.read = *readVehicleFees(*session, id, FeeKind::Other, parking.otherName);
    ASSERT_EQ(takePayment(*session, parking).outcome, PaymentResult::Taken);
    ASSERT_EQ(takePayment(*session, parking).outcome, PaymentResult::Taken);
    const auto fees = readVehicleFees(*session, id, FeeKind::Other, QStringLiteral("停车费"));
    ASSERT_TRUE(fees);
    EXPECT_EQ(fees->status.paid.fen, 10000);
    EXPECT_EQ(readVehicleFees(*session, id, FeeKind::Other, QStringLiteral("维修费"))->status.paid.fen, 0);
    EXPECT_EQ(value(QStringLiteral("select count(*) from xiugaijilu")), QStringLiteral("0"));
}

TEST_F(FeesTest, RequestsThatCannotBeTakenAreRefusedBeforeAnythingIsSent)
{
    const qint64 id = addVehicle(QStringLiteral("豫A10006"), QStringLiteral("100"));
    const struct {
        const char* name;
        std::function<void(PaymentRequest&)> change;
    } cases[] = {
        {"no amount", [](PaymentRequest& p) { p.amountFen = 0; }},
        {"a negative amount", [](PaymentRequest& p) { p.amountFen = -100; }},
        {"no method", [](PaymentRequest& p) { p.method.clear(); }},
        {"an other fee without a name", [](PaymentRequest& p) { p.kind = FeeKind::Other; }},
        {"a payer GBK cannot hold", [](PaymentRequest& p) { p.payer = QStringLiteral("张三😀"); }},
        {"a remark too long", [](PaymentRequest& p) { p.remark = QString(201, QLatin1Char('x')); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PaymentRequest p = request(id, 100);
        c.change(p);
        const PaymentResult r = takePayment(*session, p);
        EXPECT_EQ(r.outcome, PaymentResult::Refused);
        EXPECT_FALSE(r.error.isEmpty());
    }
    EXPECT_EQ(value(QStringLiteral("select count(*) from shoufeijilu")), QStringLiteral("0"));
}
