// Times planning today's reminders against a database holding N generated vehicles:
//   (a) the mariadb command-line client fetching the columns the plan reads (the watched dates,
//       plate, owner, phone and status of every vehicle) into /dev/null: its time and peak memory
//       (its peak resident size less that of a client reading one value),
//   (b) planReminders for today, as fleetdesk-remind and the window 自动提醒 run it: time, peak
//       memory growth of this process, and what the plan holds,
//   (c) the same plan again once every stage to send has its record (a second run the same day),
// several times each, and reports medians and, as the last lines, the plan/client ratios.
//
//   remind_bench [N] [--runs R]     (settings from FLEETDESK_CONFIG, as the program reads them)
#include "bench/BenchSupport.h"
#include "common/DateTime.h"
#include "common/Settings.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "net/Endpoints.h"
#include "reminders/ReminderPlan.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    const bench::BenchArgs benchArgs = bench::readBenchArgs(app.arguments().mid(1), 5);
    const qint64 expected = benchArgs.expected;
    const int runs = benchArgs.runs;

    Settings settings;
    if (!settings.load(Settings::defaultPath())) {
        std::fprintf(stderr, "no settings file: set FLEETDESK_CONFIG\n");
        return 2;
    }
    const db::Connection::Options options = net::endpointsOf(settings).database;
    QString error;
    db::ConnectionPtr connection = db::dbConnect(options, &error);
    if (!connection || !db::ensureProgramTables(*connection, &error)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(error));
        return 2;
    }
    const QDate d = QDate::currentDate();
    const qint64 today = datetime::daysFromCivil(d.year(), d.month(), d.day());

    // A first plan stores the default rules, so that no run below pays for it; it also names the
    // columns the plan reads.
    reminders::ReminderPlan plan;
    if (!reminders::planReminders(connection, today, plan, &error)) {
        std::fprintf(stderr, "planning failed: %s\n", qPrintable(error));
        return 2;
    }
    QString columns = QStringLiteral("ID,cepaihao,cezuxingming,cezudianhua,celiangzuangtai");
    for (const reminders::ReminderRule& rule : plan.rules.rules)
        if (rule.enabled)
            columns += QLatin1Char(',') + rule.column;
    const QString sql = QStringLiteral("select %1 from celiangzongbiao").arg(columns);
    out << "vehicles: " << plan.vehicles
        << (plan.vehicles == expected ? "" : "  (expected " + QString::number(expected) + ")") << "\n";
    out.flush();

    // (a) the command-line client, output thrown away, over the same kind of connection.
    const net::Endpoints servers = net::endpointsOf(settings);
    QStringList clientArgs {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"),
        QStringLiteral("-h127.0.0.1"), QStringLiteral("-P") + QString::number(settings.dbPort),
        QStringLiteral("-u") + servers.databaseUser, QStringLiteral("-p") + servers.databasePassword,
        QStringLiteral("--default-character-set=gbk")};
    if (options.tlsRequired)
        clientArgs << QStringLiteral("--ssl") << QStringLiteral("--ssl-ca=") + options.tlsCaFile;
    clientArgs << QStringLiteral("yunsugongsi") << QStringLiteral("-e") << sql;
    // Each client runs under GNU time, which reports its peak resident size (a client started
    // from this process directly would count this process's pages as its own).
    QTemporaryFile report;
    report.open();
    auto runClient = [&](const QString& statement, double& peakBytes) {
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        client.setProcessChannelMode(QProcess::SeparateChannels);
        QStringList a {QStringLiteral("-f"), QStringLiteral("%M"), QStringLiteral("-o"), report.fileName(),
            QStringLiteral("mariadb")};
        a += clientArgs;
        a.last() = statement;
        client.start(QStringLiteral("/usr/bin/time"), a);
        if (!client.waitForFinished(600000) || client.exitCode() != 0) {
            std::fprintf(stderr, "mariadb failed: %s\n", client.readAllStandardError().constData());
            return false;
        }
        QFile f(report.fileName());
        f.open(QIODevice::ReadOnly);
        peakBytes = f.readAll().trimmed().toDouble() * 1024.0;
        return true;
    };
    // The client's own size: one that reads a single value.
    double clientBase = 0.0;
    if (!runClient(QStringLiteral("select 1"), clientBase))
        return 2;
    std::vector<double> fetch, clientPeaks;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        double peakBytes = 0.0;
        if (!runClient(sql, peakBytes))
            return 2;
        fetch.push_back(ms(t));
        clientPeaks.push_back(peakBytes - clientBase);
    }
    const double clientPeak = median(clientPeaks);

    // (b) the plan, each run from scratch.
    std::vector<double> planning, peaks;
    for (int i = 0; i < runs; ++i) {
        plan = reminders::ReminderPlan();
        malloc_trim(0); // the previous plan's memory goes back, so that this one's growth shows
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        if (!reminders::planReminders(connection, today, plan, &error)) {
            std::fprintf(stderr, "planning failed: %s\n", qPrintable(error));
            return 2;
        }
        planning.push_back(ms(t));
        peaks.push_back(static_cast<double>(statusKb("VmHWM") - before) * 1024.0);
    }
    using Status = reminders::PlanEntry::Status;
    const std::size_t due = plan.entries.size();
    const int toSend = plan.count(Status::Send);

    // (c) a second plan the same day, after a run: every stage to send has its record.
    {
        db::Statement rows;
        int count = 0;
        auto flush = [&] {
            if (count > 0) {
                const db::Reply reply = connection->run(
                    db::Statement("insert ignore into tixingjilu (cheliangid,cepaihao,wendang,youxiaoqi,jieduan,"
                                  "dianhua,neirong,biaojishijian,jieguo,jieguoshijian,jiqi) values ")
                        .append(rows));
                if (!reply.ok)
                    std::fprintf(stderr, "recording failed: %s\n", qPrintable(reply.error));
            }
            rows = db::Statement();
            count = 0;
        };
        for (const reminders::PlanEntry& e : plan.entries) {
            if (e.status != Status::Send)
                continue;
            rows.append(db::Statement(count > 0 ? ",(?,?,?,?,?,?,?,now(),'成功',now(),'bench')"
                                                : "(?,?,?,?,?,?,?,now(),'成功',now(),'bench')")
                            .bind(e.vehicleId)
                            .bind(e.plate)
                            .bind(e.column)
                            .bind(e.expiryText)
                            .bind(e.stage)
                            .bind(e.phone)
                            .bind(e.message));
            if (++count == 1000)
                flush();
        }
        flush();
    }
    std::vector<double> rerun, rerunPeaks;
    for (int i = 0; i < runs; ++i) {
        plan = reminders::ReminderPlan();
        malloc_trim(0);
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        if (!reminders::planReminders(connection, today, plan, &error)) {
            std::fprintf(stderr, "planning failed: %s\n", qPrintable(error));
            return 2;
        }
        rerun.push_back(ms(t));
        rerunPeaks.push_back(static_cast<double>(statusKb("VmHWM") - before) * 1024.0);
    }
    connection->run(db::Statement("delete from tixingjilu where jiqi='bench'"));
    const int recorded = plan.count(Status::AlreadySent);
    out << "plan for " << d.toString(Qt::ISODate) << ": " << due << " stages due, " << toSend << " to send, "
        << plan.count(Status::OutOfService) << " out of service, "
        << plan.count(Status::NoPhone) + plan.count(Status::BadPhone) << " without a usable phone\n";

    const double a = median(fetch), b = median(planning), peak = median(peaks);
    out << "(a) mariadb client, watched columns to /dev/null: median " << QString::number(a, 'f', 1) << " ms  ["
        << list(fetch) << "], peak resident +" << QString::number(mb(clientPeak), 'f', 1) << " MB over the client's own "
        << QString::number(mb(clientBase), 'f', 1) << " MB\n";
    out << "(b) planReminders:                               median " << QString::number(b, 'f', 1) << " ms  ["
        << list(planning) << "]\n";
    out << "memory: peak growth during the plan (VmHWM) median +" << QString::number(mb(peak), 'f', 1) << " MB, max +"
        << QString::number(mb(*std::max_element(peaks.begin(), peaks.end())), 'f', 1) << " MB\n";
    out << "(c) planReminders again after the run (" << recorded << " stages recorded): median "
        << QString::number(median(rerun), 'f', 1) << " ms  [" << list(rerun) << "], peak growth median +"
        << QString::number(mb(median(rerunPeaks)), 'f', 1) << " MB\n";
    out << "plan/client time ratio: " << QString::number(b / a, 'f', 2) << "\n";
    out << "plan/client memory ratio: " << QString::number(peak / clientPeak, 'f', 2) << "\n";
    out.flush();
    db::dbClose(connection);
    mysql_library_end();
    return 0;
}
