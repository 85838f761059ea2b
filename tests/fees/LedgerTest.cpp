// Voids, the day's takings and the payment search, read back against the ledger.
#include "FeesFixture.h"

#include "fees/PaymentQuery.h"
#include "fees/Receipt.h"
#include "fees/Takings.h"
#include "fees/Void.h"

#include <QDate>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace fd;
using namespace fd::fees;

TEST_F(FeesTest, AVoidRecomputesTheColumnsTakesTheMonthsBackAndKeepsTheNumber)
{
    const QString expiry = QDate::currentDate().addDays(10).toString(Qt::ISODate);
    const qint64 id = addVehicle(QStringLiteral("豫B20001"), QStringLiteral("1200"), QStringLiteral("0"), expiry);
    const PaymentResult first = takePayment(*session, request(id, 30000, 3));
    const PaymentResult second = takePayment(*session, request(id, 50000, 5));
    ASSERT_EQ(first.outcome, PaymentResult::Taken);
    ASSERT_EQ(second.outcome, PaymentResult::Taken);
    const QString where = QStringLiteral(" from celiangzongbiao where ID=%1").arg(id);
    EXPECT_EQ(value("select concat(guanliyijiaofei,'/',guanlihaiqianfei)" + where), QStringLiteral("800.00/400.00"));

    const VoidResult voided = voidPayment(*session, second.ledgerId, QStringLiteral("金额填错"), QStringLiteral("小李"),
        QStringLiteral("office-b"));
    ASSERT_EQ(voided.outcome, VoidResult::Voided) << voided.error.toStdString() << voided.details.toStdString();
    EXPECT_TRUE(voided.expiryTakenBack);
    EXPECT_EQ(value("select concat(guanliyijiaofei,'/',guanlihaiqianfei)" + where), QStringLiteral("300.00/900.00"));
    EXPECT_EQ(value("select guanlifeiyouxiaoqi" + where), QDate::currentDate().addDays(10).addMonths(3).toString(Qt::ISODate));
    EXPECT_EQ(value(QStringLiteral("select count(*) from xiugaijilu where caozuo='作废' and cheliangid=%1").arg(id)),
        QStringLiteral("3"));
    // The receipt stays, marked; a second void is refused; the number is not given out again.
    const auto receipt = readReceipt(*session, second.ledgerId);
    ASSERT_TRUE(receipt);
    EXPECT_TRUE(receipt->voided);
    EXPECT_EQ(receipt->voidReason, QStringLiteral("金额填错"));
    EXPECT_EQ(receipt->number, second.receiptNumber);
    EXPECT_EQ(voidPayment(*session, second.ledgerId, QStringLiteral("again"), QStringLiteral("小李"), QString()).outcome,
        VoidResult::AlreadyVoided);
    const PaymentResult third = takePayment(*session, request(id, 10000));
    ASSERT_EQ(third.outcome, PaymentResult::Taken);
    EXPECT_NE(third.receiptNumber, second.receiptNumber);
    EXPECT_EQ(value("select guanliyijiaofei" + where), QStringLiteral("400.00"));
}

TEST_F(FeesTest, OnlyTodaysPaymentsAreVoidedAndOnlyWithAReason)
{
    const qint64 id = addVehicle(QStringLiteral("豫B20002"), QStringLiteral("500"));
    const PaymentResult paid = takePayment(*session, request(id, 10000));
    ASSERT_EQ(paid.outcome, PaymentResult::Taken);
    EXPECT_EQ(voidPayment(*session, paid.ledgerId, QStringLiteral("  "), QStringLiteral("小李"), QString()).outcome,
        VoidResult::Refused);
    test::mustExecute(session,
        QStringLiteral("update shoufeijilu set shijian=shijian - interval 1 day where ID=%1").arg(paid.ledgerId));
    EXPECT_EQ(voidPayment(*session, paid.ledgerId, QStringLiteral("晚了"), QStringLiteral("小李"), QString()).outcome,
        VoidResult::NotToday);
    EXPECT_EQ(voidPayment(*session, 987654, QStringLiteral("没有"), QStringLiteral("小李"), QString()).outcome,
        VoidResult::NoPayment);
    EXPECT_EQ(value(QStringLiteral("select count(*) from shoufeijilu where leixing='作废'")), QStringLiteral("0"));
}

TEST_F(FeesTest, TheDaysTakingsAndTheSearchEqualTheLedger)
{
    const qint64 a = addVehicle(QStringLiteral("豫C30001"), QStringLiteral("2000"));
    const qint64 b = addVehicle(QStringLiteral("豫C30002"), QStringLiteral("2000"));
    struct Paid {
        qint64 vehicle;
        qint64 fen;
        const char16_t* method;
        const char16_t* clerk;
    };
    const Paid payments[] = {
        {a, 10000, u"现金", u"小王"},
        {a, 20050, u"微信", u"小王"},
        {b, 30000, u"现金", u"小王"},
        {b, 5, u"现金", u"小李"},
        {a, 70000, u"银行转账", u"小李"},
    };
    std::vector<qint64> ids;
    for (const Paid& p : payments) {
        PaymentRequest r = request(p.vehicle, p.fen);
        r.method = QString::fromUtf16(p.method);
        r.clerk = QString::fromUtf16(p.clerk);
        const PaymentResult taken = takePayment(*session, r);
        ASSERT_EQ(taken.outcome, PaymentResult::Taken) << taken.error.toStdString();
        ids.push_back(taken.ledgerId);
    }
    // Yesterday's payment is not today's.
    test::mustExecute(session,
        QStringLiteral("insert into shoufeijilu (leixing,cheliangid,cepaihao,feiyong,qijian,jine,fangshi,shoujuhao,"
                       "jingbanren,shijian) values ('收费',%1,'豫C30001','管理费',1,99900,'现金','X-1','小王',"
                       "curdate() - interval 1 second)")
            .arg(a));
    ASSERT_EQ(voidPayment(*session, ids[2], QStringLiteral("退款"), QStringLiteral("小王"), QString()).outcome,
        VoidResult::Voided);

    const QDate today = QDate::currentDate();
    const auto takings = readTakings(*session, today, today);
    ASSERT_TRUE(takings);
    QStringList lines;
    for (const TakingsLine& l : takings->lines)
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(l.clerk, l.method)
                     .arg(l.payments)
                     .arg(l.paidFen)
                     .arg(l.voids)
                     .arg(l.voidedFen);
    EXPECT_EQ(lines, (QStringList {QStringLiteral("小李 现金 1 5 0 0"), QStringLiteral("小李 银行转账 1 70000 0 0"),
                         QStringLiteral("小王 现金 2 40000 1 30000"), QStringLiteral("小王 微信 1 20050 0 0")}));
    EXPECT_EQ(takings->total.payments, 5);
    EXPECT_EQ(takings->total.netFen(), 10000 + 20050 + 5 + 70000);
    EXPECT_EQ(QString::number(takings->total.paidFen),
        value(QStringLiteral("select sum(jine) from shoufeijilu where leixing='收费' and date(shijian)=curdate()")));

    PaymentFilter filter;
    filter.from = today;
    filter.to = today;
    auto list = queryPayments(*session, filter);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count, 5);
    EXPECT_EQ(list->totalFen, takings->total.paidFen);
    EXPECT_EQ(list->voidedFen, 30000);
    EXPECT_TRUE(list->rows[2].voided);
    filter.from = today.addDays(-1);
    filter.clerk = QStringLiteral("小王");
    filter.method = QStringLiteral("现金");
    filter.plate = QStringLiteral("C30001");
    list = queryPayments(*session, filter);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count, 2);
    EXPECT_EQ(list->rows[0].number, QStringLiteral("X-1"));
    EXPECT_EQ(list->totalFen, 99900 + 10000);
    // A plate's text cannot widen the search.
    filter.plate = QStringLiteral("' or '1'='1");
    EXPECT_EQ(queryPayments(*session, filter)->count, 0);

    QTemporaryDir dir;
    QString error;
    filter = PaymentFilter {};
    filter.from = today;
    filter.to = today;
    ASSERT_TRUE(savePaymentsXlsx(*queryPayments(*session, filter), QStringLiteral("收费查询"),
        dir.filePath(QStringLiteral("p.xlsx")), &error))
        << error.toStdString();
    EXPECT_GT(QFileInfo(dir.filePath(QStringLiteral("p.xlsx"))).size(), 1000);
}
