// fleetdesk-import: brings the vehicles of an .xlsx, .xls or CSV file into the register, for
// administrators. Exit status 0: every row landed (or was unchanged or skipped); 1: some rows were
// refused (saved next to the file as "<name>-未导入.xlsx"); 2: the import could not run.
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "db/ProgramTables.h"
#include "import/ImportRun.h"
#include "import/Mapping.h"
#include "net/Endpoints.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>
#include <mysql.h>

namespace {

using fd::cli::say;

int run(const QCoreApplication& app)
{
    using namespace fd;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("从 .xlsx、.xls 或 CSV 文件导入车辆。"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("要导入的文件"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("只检查并统计，不写入"));
    const QCommandLineOption match(QStringLiteral("match"),
        QStringLiteral("按车牌号（plate）或档案编号（archive）对应已有车辆，默认 plate"), QStringLiteral("key"),
        QStringLiteral("plate"));
    const QCommandLineOption update(QStringLiteral("update"), QStringLiteral("已有车辆按文件修改（默认跳过）"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("记入修改记录的用户名"), QStringLiteral("name"),
        QStringLiteral("admin"));
    const QCommandLineOption config = cli::configOption();
    parser.addOptions({dryRun, match, update, user, config});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        say(QStringLiteral("请给出一个要导入的文件"));
        return 2;
    }
    import::ImportOptions options;
    if (parser.value(match) == QLatin1String("archive"))
        options.match = import::MatchBy::FileNumber;
    else if (parser.value(match) != QLatin1String("plate")) {
        say(QStringLiteral("--match 应为 plate 或 archive"));
        return 2;
    }
    options.update = parser.isSet(update);

    const QString path = parser.positionalArguments().constFirst();
    import::Workbook book = import::readWorkbook(path);
    if (!book.ok()) {
        say(QStringLiteral("无法读取 %1：%2").arg(path, book.error));
        return 2;
    }
    // The first sheet that names a plate or file number column.
    import::ImportSource source;
    source.fileName = QFileInfo(path).fileName();
    for (import::Sheet& sheet : book.sheets) {
        const int header = import::findHeaderRow(sheet);
        const QStringList headers = import::headerTexts(sheet, header);
        QStringList mapping = import::rememberedMapping(headers);
        if (mapping.isEmpty())
            mapping = import::autoMapping(headers);
        if (mapping.contains(QStringLiteral("cepaihao")) || mapping.contains(QStringLiteral("danganbianhao"))) {
            source.sheet = std::move(sheet);
            source.headerRow = header;
            source.mapping = mapping;
            break;
        }
    }
    if (source.mapping.isEmpty()) {
        say(QStringLiteral("文件中没有车牌号或档案编号一列"));
        return 2;
    }

    Settings settings;
    if (!cli::loadSettings(parser, config, settings))
        return 2;
    QString error;
    db::ConnectionPtr connection = db::Connection::open(net::endpointsOf(settings).database, &error);
    if (!connection) {
        say(QStringLiteral("连接不上数据库：%1").arg(error));
        return 2;
    }
    if (!parser.isSet(dryRun) && !db::ensureProgramTables(*connection, &error)) {
        say(QStringLiteral("无法建立导入记录表：%1").arg(error));
        return 2;
    }
    const vehicles::ChangeAuthor author {parser.value(user), QSysInfo::machineHostName()};
    const import::ImportReport report =
        import::runImport(connection, source, options, author, parser.isSet(dryRun));
    if (!report.error.isEmpty()) {
        say(QStringLiteral("无法导入：%1").arg(report.error));
        return 2;
    }
    const import::Counts& c = report.counts;
    say(QStringLiteral("%1：新增 %2，修改 %3，未变 %4，跳过 %5，未导入 %6%7")
            .arg(parser.isSet(dryRun) ? QStringLiteral("检查") : QStringLiteral("导入"))
            .arg(c.added)
            .arg(c.updated)
            .arg(c.unchanged)
            .arg(c.skipped)
            .arg(c.refused)
            .arg(report.batchId ? QStringLiteral("（导入编号 %1）").arg(report.batchId) : QString()));
    for (const import::RefusedRow& r : report.refused)
        say(QStringLiteral("第 %1 行：%2").arg(r.sheetRow + 1).arg(r.reason));
    const std::vector<import::RefusedRow> toFix = import::rowsNotImported(report);
    if (!toFix.empty() && !parser.isSet(dryRun)) {
        const QFileInfo info(path);
        const QString out = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-未导入.xlsx");
        if (import::writeRefusedRows(out, source.headers(), toFix, &error))
            say(QStringLiteral("未导入的行已存入 %1").arg(out));
        else
            say(QStringLiteral("未导入的行无法保存：%1").arg(error));
    }
    if (!report.stopped.isEmpty()) {
        say(QStringLiteral("导入中断：%1（已处理 %2/%3 行）").arg(report.stopped).arg(report.rowsDone).arg(report.rowsTotal));
        return 2;
    }
    return c.refused > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    int rc = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("fleetdesk"));
        rc = run(app);
    }
    mysql_library_end();
    return rc;
}
