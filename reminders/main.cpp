// fleetdesk-remind: today's reminders, sent by themselves. Meant for a daily systemd timer or cron
// line; reads the settings file of fleetdesk and writes a report for the scheduler's log.
#include "common/DateTime.h"
#include "common/Jobs.h"
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "db/Database.h"
#include "db/ProgramTables.h"
#include "net/Endpoints.h"
#include "reminders/DailyRun.h"
#include "reminders/ReminderSetup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QSysInfo>
#include <cstdio>
#include <curl/curl.h>
#include <mysql.h>

namespace {

using fd::cli::say;

int run(const QCoreApplication& app)
{
    using namespace fd;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("发送今天到期的证件提醒短信（每个阶段只发一次）。"));
    parser.addHelpOption();
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("只列出今天的计划，不发送"));
    const QCommandLineOption today(QStringLiteral("today"), QStringLiteral("按这一天计划（YYYY-MM-DD），默认今天"),
        QStringLiteral("date"));
    const QCommandLineOption config = cli::configOption();
    const QCommandLineOption pace(QStringLiteral("pace-ms"),
        QStringLiteral("两条短信之间的毫秒数（测试用，默认1000）"), QStringLiteral("ms"), QStringLiteral("1000"));
    parser.addOptions({dryRun, today, config, pace});
    parser.process(app);

    QDate day = QDate::currentDate();
    if (parser.isSet(today)) {
        day = QDate::fromString(parser.value(today), QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid()) {
            say(QStringLiteral("日期不对：%1（应为YYYY-MM-DD）").arg(parser.value(today)));
            return 2;
        }
    }
    bool paceOk = false;
    const int paceMs = parser.value(pace).toInt(&paceOk);
    if (!paceOk || paceMs < 0) {
        say(QStringLiteral("--pace-ms 应为不小于0的整数"));
        return 2;
    }

    Settings settings;
    if (!cli::loadSettings(parser, config, settings)) {
        return 2;
    }
    QString error;
    db::ConnectionPtr connection = db::dbConnect(net::endpointsOf(settings).database, &error);
    if (!connection) {
        say(QStringLiteral("连接不上数据库：%1").arg(error));
        return 2;
    }

    const qint64 dayNumber = datetime::daysFromCivil(day.year(), day.month(), day.day());
    // A dry run writes nothing, so that an account that may only read can make one.
    if (parser.isSet(dryRun))
        return reminders::dryRunDay(connection, dayNumber, say);
    if (!db::ensureProgramTables(*connection, &error)) {
        say(QStringLiteral("无法建立提醒用的表：%1").arg(error));
        return 2;
    }
    reminders::RunOptions options;
    options.paceMs = paceMs;
    options.runner = QSysInfo::machineHostName();
    return reminders::runDay(connection, reminders::smsAccountOf(settings), dayNumber, options, say);
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int rc = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("fleetdesk-remind"));
        rc = run(app);
        fd::waitForAllJobs(60000);
    }
    curl_global_cleanup();
    mysql_library_end();
    return rc;
}
