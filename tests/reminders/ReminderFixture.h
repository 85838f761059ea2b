#pragma once

// A small fleet with known expiry dates around a fixed "today" (2016-12-20, so that stages cross
// into January), the stack's database and the SMS simulator.
#include "common/DateTime.h"
#include "db/ProgramTables.h"
#include "reminders/ReminderPlan.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSetup.h"
#include "sms/Simulator.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace fd::test {
using namespace Qt::StringLiterals;

inline const QString kReminderDb = QStringLiteral("fd_reminder_tests");

class ReminderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = stackSettings();
        settings.httpConnectTimeoutSeconds = 2;
        settings.httpTotalTimeoutSeconds = 2;
        ASSERT_TRUE(freshDatabase(kReminderDb));
        // A session that names its database, so that a worker's session of its own opens on it.
        db = connectStack(kReminderDb);
        ASSERT_TRUE(db);
        QString error;
        ASSERT_TRUE(db::ensureProgramTables(*db, &error)) << error.toStdString();
        ASSERT_TRUE(reminders::ensureDefaultRules(db, &error)) << error.toStdString();
        reminders::ReminderRules rules;
        ASSERT_TRUE(reminders::loadRules(db, rules));
        rules.signature = QStringLiteral("【测试运输】");
        ASSERT_TRUE(reminders::saveRules(db, rules));
        // 豫A00001: four documents due (30 days, 7 days, the day after, a 30-day stage caught up),
        // one zero date, one NULL. 豫A00002 转出. 豫A00003 no phone, 豫A00004 a short one.
        // 豫A00005: both stages passed unsent, only the 7-day one goes. 豫A00006 expired long ago.
        vehicle(u"豫A00001"_s, u"13800000001"_s, u"正常"_s,
            u"zuceyouxiaoriqi='2017-1-19',yingyunzengyouxiaoqi='2016-12-27',guanlifeiyouxiaoqi='2016-12-19',"
            "zucebaoxianyouxiaoqi='2017-1-10',jiasizengyouxiaoqi='0000-00-00'"_s);
        vehicle(u"豫A00002"_s, u"13800000002"_s, u"转出"_s, u"zuceyouxiaoriqi='2017-1-19'"_s);
        vehicle(u"豫A00003"_s, QString(), u"正常"_s, u"zuceyouxiaoriqi='2017-1-19'"_s);
        vehicle(u"豫A00004"_s, u"1380000"_s, u"正常"_s, u"zuceyouxiaoriqi='2017-1-19'"_s);
        vehicle(u"豫A00005"_s, u"13800000005"_s, u"正常"_s, u"zuceyouxiaoriqi='2016-12-22'"_s);
        vehicle(u"豫A00006"_s, u"13800000006"_s, u"注销"_s, u"zuceyouxiaoriqi='2016-10-1'"_s);
        sim = std::make_unique<Simulator>(settings);
        sim->reset();
        account = reminders::smsAccountOf(settings);
        options.paceMs = 0;
        options.runner = QStringLiteral("test");
    }
    void TearDown() override
    {
        if (sim)
            sim->reset();
    }

    void vehicle(const QString& plate, const QString& phone, const QString& status, const QString& dates)
    {
        mustExecute(db, QStringLiteral("insert into celiangzongbiao set cepaihao='%1',cezudianhua='%2',"
                                       "celiangzuangtai='%3',cezuxingming='车主',%4")
                            .arg(plate, phone, status, dates));
    }

    reminders::ReminderPlan planFor(int y, int m, int d, const db::ConnectionPtr& connection = nullptr)
    {
        reminders::ReminderPlan plan;
        QString error;
        EXPECT_TRUE(reminders::planReminders(connection ? connection : db, datetime::daysFromCivil(y, m, d), plan,
            &error))
            << error.toStdString();
        return plan;
    }
    reminders::ReminderPlan today() { return planFor(2016, 12, 20); }

    // "mobile content" of every message the simulator received, sorted.
    static QStringList receivedTexts()
    {
        QStringList out;
        for (const Received& r : Simulator::received())
            out << r.mobile + QLatin1Char(' ') + r.content;
        out.sort();
        return out;
    }

    Settings settings;
    db::ConnectionPtr db;
    std::unique_ptr<Simulator> sim;
    reminders::SmsAccount account;
    reminders::RunOptions options;
};

} // namespace fd::test
