// Two clerks of two offices taking payments through two cluster nodes at once: every receipt
// number is given once, and the numbers of an office follow without a gap.
#include "common/Settings.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "db/ThreadSession.h"
#include "fees/Payment.h"
#include "fees/ReceiptNumber.h"
#include "support/TestSupport.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <gtest/gtest.h>
#include <thread>

using namespace fd;
using namespace fd::test;

namespace {

int nodePort(int node)
{
    return qEnvironmentVariable("FD_CLUSTER_PORTS").split(QLatin1Char(' ')).value(node - 1).toInt();
}

// A session on one node only, to the program's database.
db::Connection::Options nodeOptions(int node)
{
    db::Connection::Options options = net::endpointsOf(stackSettings()).database;
    options.host = QStringLiteral("127.0.0.1:%1").arg(nodePort(node));
    return options;
}

db::ConnectionPtr connectNode(int node)
{
    QString error;
    auto session = db::Connection::open(nodeOptions(node), &error);
    if (!session)
        ADD_FAILURE() << "cannot connect to node " << node << ": " << error.toStdString();
    return session;
}

qint64 addVehicle(db::Connection& session, const QString& plate)
{
    const db::Reply r = session.runAll({db::Statement("INSERT INTO celiangzongbiao (cepaihao,cezuxingming,"
                                                      "guanliyingjiaofei,guanliyijiaofei) VALUES (?,'集群车主','100000','0')")
                                            .bind(plate),
        db::Statement("SELECT LAST_INSERT_ID()")});
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    return r.rows ? r.rows->integer(0) : 0;
}

fees::PaymentRequest payment(db::Connection& session, qint64 vehicle, const QString& prefix, const QString& clerk)
{
    fees::PaymentRequest p;
    p.vehicleId = vehicle;
    p.kind = fees::FeeKind::Management;
    p.amountFen = 100;
    p.method = QStringLiteral("现金");
    p.clerk = clerk;
    p.receiptPrefix = prefix;
    const auto read = fees::readVehicleFees(session, vehicle, p.kind, QString());
    EXPECT_TRUE(read.has_value()) << "the vehicle's fees could not be read";
    if (read)
        p.read = *read;
    return p;
}

} // namespace

TEST(FeeCluster, TwoClerksOnTwoNodesGetDistinctNumbersWithoutAGap)
{
    auto node1 = connectNode(1);
    auto node2 = connectNode(2);
    ASSERT_TRUE(node1 && node2);
    // An office prefix of this run alone: its sequence starts at 1.
    const QString prefix = QStringLiteral("T") + QString::number(QDateTime::currentMSecsSinceEpoch() % 1000000000, 36);
    const QString stamp = QString::number(QDateTime::currentMSecsSinceEpoch() % 100000000, 36).toUpper();
    const qint64 vehicleA = addVehicle(*node1, QStringLiteral("豫F") + stamp);
    const qint64 vehicleB = addVehicle(*node1, QStringLiteral("豫G") + stamp);
    const int year = QDate::currentDate().year();

    // The clerk on node 2 takes a number while node 1's payment holds one it has not committed:
    // the cluster refuses node 1's commit, which takes the next number on its second try.
    fees::PaymentResult second;
    fees::setBeforeCommitHook([&] {
        fees::setBeforeCommitHook(nullptr);
        second = fees::takePayment(*node2, payment(*node2, vehicleB, prefix, QStringLiteral("乙")));
    });
    const fees::PaymentResult first = fees::takePayment(*node1, payment(*node1, vehicleA, prefix, QStringLiteral("甲")));
    fees::setBeforeCommitHook(nullptr);
    ASSERT_EQ(second.outcome, fees::PaymentResult::Taken) << second.error.toStdString() << second.details.toStdString();
    ASSERT_EQ(first.outcome, fees::PaymentResult::Taken) << first.error.toStdString() << first.details.toStdString();
    EXPECT_EQ(second.receiptNumber, fees::receiptNumberText(prefix, year, 1));
    EXPECT_EQ(first.receiptNumber, fees::receiptNumberText(prefix, year, 2));

    // Then both clerks at full speed, each on a thread with its own session.
    constexpr int kEach = 15;
    QStringList numbers[2];
    auto clerk = [&](int node, qint64 vehicle, const QString& name, QStringList& out) {
        auto session = db::threadSession(nodeOptions(node));
        if (!session)
            return;
        for (int i = 0; i < kEach; ++i) {
            const fees::PaymentResult r = fees::takePayment(*session, payment(*session, vehicle, prefix, name));
            if (r.outcome == fees::PaymentResult::Taken)
                out.append(r.receiptNumber);
            else
                out.append(QStringLiteral("failed: ") + r.error);
        }
    };
    std::thread a([&] { clerk(1, vehicleA, QStringLiteral("甲"), numbers[0]); });
    std::thread b([&] { clerk(2, vehicleB, QStringLiteral("乙"), numbers[1]); });
    a.join();
    b.join();
    QSet<QString> all {first.receiptNumber, second.receiptNumber};
    for (const QStringList& list : numbers) {
        EXPECT_EQ(list.size(), kEach);
        for (const QString& n : list) {
            EXPECT_FALSE(n.startsWith(QStringLiteral("failed"))) << n.toStdString();
            all.insert(n);
        }
    }
    QSet<QString> expected;
    for (int i = 1; i <= 2 + 2 * kEach; ++i)
        expected.insert(fees::receiptNumberText(prefix, year, i));
    EXPECT_EQ(all, expected);
    auto node3 = connectNode(3);
    ASSERT_TRUE(node3);
    EXPECT_EQ(queryValue(node3, QStringLiteral("select count(distinct shoujuhao) from shoufeijilu where shoujuhao like '%1%'")
                                    .arg(prefix)),
        QString::number(2 + 2 * kEach));
}
