#pragma once

#include "db/Connection.h"
#include "fees/LedgerSchema.h"
#include "fees/Payment.h"
#include "support/TestSupport.h"

#include <QString>
#include <gtest/gtest.h>

// A database of its own for the fee tests, emptied for each test, and vehicles to take fees from.
class FeesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fd::test::freshDatabase(QStringLiteral("fd_fees_test")));
        // A session that names its database, so that a reopened one is still in it.
        session = fd::test::connectStack(QStringLiteral("fd_fees_test"));
        ASSERT_TRUE(session);
        ASSERT_TRUE(fd::fees::ensureLedgerTables(*session));
    }

    // A vehicle with the given stored management fee texts and expiry (empty: NULL); its ID.
    qint64 addVehicle(const QString& plate, const QString& due = QString(), const QString& paid = QString(),
        const QString& expiry = QString())
    {
        fd::db::Statement insert("INSERT INTO celiangzongbiao (cepaihao,cezuxingming,cezudianhua,guanliyingjiaofei,"
                                 "guanliyijiaofei,guanlifeiyouxiaoqi) VALUES (?,?,?,?,?,?)");
        insert.bind(plate).bind(QStringLiteral("张三")).bind(QStringLiteral("13900000001")).bind(due).bind(paid);
        if (expiry.isEmpty())
            insert.bindNull();
        else
            insert.bind(expiry);
        const fd::db::Reply r = session->runAll({insert, fd::db::Statement("SELECT LAST_INSERT_ID()")});
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        return r.rows ? r.rows->integer(0) : 0;
    }

    fd::fees::PaymentRequest request(qint64 vehicle, qint64 fen, int months = 0,
        fd::fees::FeeKind kind = fd::fees::FeeKind::Management)
    {
        fd::fees::PaymentRequest p;
        p.vehicleId = vehicle;
        p.kind = kind;
        p.amountFen = fen;
        p.months = months;
        p.method = QStringLiteral("现金");
        p.payer = QStringLiteral("张三");
        p.clerk = QStringLiteral("小王");
        p.machine = QStringLiteral("office-a");
        QString error;
        const auto read = fd::fees::readVehicleFees(*session, vehicle, kind, p.otherName, &error);
        EXPECT_TRUE(read) << error.toStdString();
        if (read)
            p.read = *read;
        return p;
    }

    QString value(const QString& sql) { return fd::test::queryValue(session, sql); }

    fd::db::ConnectionPtr session;
};
