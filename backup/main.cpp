// fleetdesk-backup: a proven copy of the fleet's database and pictures in one dated archive, and
// the way back. Meant for a daily systemd timer or cron line; reads the settings file of fleetdesk.
#include "backup/BackupRun.h"
#include "common/Jobs.h"
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "db/Database.h"
#include "db/ProgramTables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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
    parser.setApplicationDescription(QStringLiteral("备份车辆数据库和证件图片（恢复到临时数据库验证后才算成功），或从备份恢复。"));
    parser.addHelpOption();
    const QCommandLineOption config = cli::configOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("备份目录，默认 /var/backups/fleetdesk"),
        QStringLiteral("dir"), QStringLiteral("/var/backups/fleetdesk"));
    const QCommandLineOption daily(QStringLiteral("keep-daily"), QStringLiteral("保留最近几天的备份（默认7）"), QStringLiteral("n"), QStringLiteral("7"));
    const QCommandLineOption weekly(QStringLiteral("keep-weekly"), QStringLiteral("保留最近几周的备份（默认4）"), QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption monthly(QStringLiteral("keep-monthly"), QStringLiteral("保留最近几个月的备份（默认12）"), QStringLiteral("n"), QStringLiteral("12"));
    const QCommandLineOption restore(QStringLiteral("restore"), QStringLiteral("从这个备份文件恢复"), QStringLiteral("archive"));
    const QCommandLineOption into(QStringLiteral("into"), QStringLiteral("恢复到这个新数据库（已存在的不会覆盖）"), QStringLiteral("name"));
    const QCommandLineOption picturesInto(QStringLiteral("pictures-into"), QStringLiteral("图片恢复到这个目录"), QStringLiteral("dir"));
    const QCommandLineOption picturesToFtp(QStringLiteral("pictures-to-ftp"), QStringLiteral("图片传回 FTP 服务器"));
    const QCommandLineOption overCurrent(QStringLiteral("over-current"), QStringLiteral("恢复覆盖程序正在用的数据库（先显示备份的时间和内容）"));
    const QCommandLineOption copyTo(QStringLiteral("copy-to"),
        QStringLiteral("验证后的备份再复制一份到这个目录（另一块硬盘或共享目录），默认为设置文件的 backupCopyDir"), QStringLiteral("dir"));
    const QCommandLineOption confirm(QStringLiteral("confirm"), QStringLiteral("覆盖当前数据库时的确认：公司名称（提醒短信的署名，没有署名时为数据库名）"),
        QStringLiteral("text"));
    parser.addOptions({ config, out, copyTo, daily, weekly, monthly, restore, into, picturesInto, picturesToFtp, overCurrent, confirm });
    parser.process(app);

    backup::Keep keep;
    for (auto [option, target] : { std::pair { &daily, &keep.daily }, { &weekly, &keep.weekly }, { &monthly, &keep.monthly } }) {
        bool ok = false;
        *target = parser.value(*option).toInt(&ok);
        if (!ok || *target < 0) {
            say(QStringLiteral("--%1 应为不小于0的整数").arg(option->names().constFirst()));
            return 2;
        }
    }
    if (parser.isSet(overCurrent)) {
        if (!parser.isSet(restore) || parser.isSet(into) || !parser.isSet(confirm)) {
            say(QStringLiteral("覆盖当前数据库要给出 --restore 备份文件、--over-current 和 --confirm 公司名称（不能同时给 --into）"));
            return 2;
        }
    } else if (parser.isSet(restore) != parser.isSet(into)) {
        say(QStringLiteral("恢复要同时给出 --restore 备份文件 和 --into 新数据库名"));
        return 2;
    }

    Settings settings;
    if (!cli::loadSettings(parser, config, settings)) {
        return 2;
    }
    backup::Setup setup = backup::setupOf(settings);
    setup.version = QCoreApplication::applicationVersion();
    // The program's session: its tables (the results of backups and restores among them) made when
    // missing, and this backup's result recorded at the end. Without it the backup still runs (a
    // server that does not answer fails it with its own reason).
    QString error;
    db::ConnectionPtr connection = db::dbConnect(setup.program, &error);
    if (connection && !db::ensureProgramTables(*connection, &error))
        say(QStringLiteral("建不了程序的表：%1").arg(error));

    if (parser.isSet(overCurrent)) {
        const backup::Outcome outcome = backup::restoreOverCurrent(setup, parser.value(restore), parser.value(confirm), say);
        if (!outcome.ok) {
            say(QStringLiteral("恢复失败：%1").arg(outcome.reason));
            return 1;
        }
        if (!outcome.warning.isEmpty()) {
            say(outcome.warning);
            return 1;
        }
        say(QStringLiteral("用时 %1 秒").arg(outcome.seconds, 0, 'f', 1));
        return 0;
    }
    if (parser.isSet(restore)) {
        backup::RestoreTarget target;
        target.database = parser.value(into);
        target.picturesFolder = parser.value(picturesInto);
        target.picturesToFtp = parser.isSet(picturesToFtp);
        const backup::Outcome outcome = backup::restoreBackup(setup, parser.value(restore), target, say);
        if (!outcome.ok) {
            say(QStringLiteral("恢复失败：%1").arg(outcome.reason));
            return 1;
        }
        say(QStringLiteral("用时 %1 秒").arg(outcome.seconds, 0, 'f', 1));
        return 0;
    }

    const QString copyFolder = parser.isSet(copyTo) ? parser.value(copyTo) : settings.backupCopyDir.trimmed();
    const backup::Outcome outcome = backup::backupAndRecord(setup, parser.value(out), copyFolder, keep, say);
    return outcome.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int rc = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("fleetdesk-backup"));
        QCoreApplication::setApplicationVersion(QStringLiteral(FD_VERSION));
        rc = run(app);
        fd::waitForAllJobs(60000);
    }
    curl_global_cleanup();
    mysql_library_end();
    return rc;
}
