#pragma once

// A database of its own with the program's tables and the ledger, and helpers that write
// vehicles and ledger rows the way the fee desk writes them.

#include "db/Connection.h"
#include "fees/LedgerSchema.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace fd::test {

class ViewsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(freshDatabase(database()));
        session = connectStack(database());
        ASSERT_TRUE(session);
        ASSERT_TRUE(fees::ensureLedgerTables(*session));
    }
    virtual QString database() const = 0;

    // A vehicle with the given stored texts, column by column; its ID.
    qint64 vehicle(const QString& plate, const QList<std::pair<QString, QString>>& texts = {})
    {
        db::Statement s(QStringLiteral("insert into celiangzongbiao set danganbianhao=?,cepaihao=?,cezuxingming=?"));
        s.bind(QStringLiteral("DA-") + plate).bind(plate).bind(QStringLiteral("车主") + plate.right(2));
        for (const auto& [column, text] : texts)
            s.append(QStringLiteral(",") + column + QStringLiteral("=?")).bind(text);
        db::Reply r = session->run(s);
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        db::Reply id = session->run(db::Statement("select last_insert_id()"));
        return id.rows ? id.rows->integer(0) : 0;
    }

    // A ledger row; its ID.
    qint64 ledger(const QString& type, qint64 vehicleId, const QString& fee, int period, qint64 fen,
        const QString& clerk = QStringLiteral("小王"), const QString& method = QStringLiteral("现金"),
        const QDateTime& when = QDateTime(QDate(2026, 3, 10), QTime(10, 0)), std::optional<qint64> voids = std::nullopt,
        const QString& name = QString())
    {
        db::Statement s(QStringLiteral(
            "insert into shoufeijilu set leixing=?,cheliangid=?,cepaihao='X',feiyong=?,qitamingcheng=?,qijian=?,jine=?,"
            "fangshi=?,jingbanren=?,shijian=?,shoujuhao=?,zuofeiid=?"));
        s.bind(type).bind(vehicleId).bind(fee).bind(name).bind(period).bind(fen).bind(method).bind(clerk).bind(when);
        if (type == QStringLiteral("收费"))
            s.bind(QStringLiteral("T%1-%2").arg(++m_receipts, 6, 10, QLatin1Char('0')).arg(vehicleId));
        else
            s.bindNull();
        if (voids)
            s.bind(*voids);
        else
            s.bindNull();
        db::Reply r = session->run(s);
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        db::Reply id = session->run(db::Statement("select last_insert_id()"));
        return id.rows ? id.rows->integer(0) : 0;
    }
    // Voids a payment: the void carries the payment's amount, period and method, and the time and
    // clerk of its own.
    void voidPayment(qint64 paymentId, qint64 vehicleId, const QString& fee, int period, qint64 fen,
        const QString& method = QStringLiteral("现金"), const QString& clerk = QStringLiteral("小王"),
        const QDateTime& when = QDateTime(QDate(2026, 3, 10), QTime(16, 0)))
    {
        ledger(QStringLiteral("作废"), vehicleId, fee, period, fen, clerk, method, when, paymentId);
    }

    db::ConnectionPtr session;

private:
    int m_receipts = 0;
};

} // namespace fd::test
