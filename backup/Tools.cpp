#include "backup/Tools.h"

#include "db/Database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

namespace fd::backup {
namespace {

    // A value of an options file between double quotes: backslash and quote escaped.
    QByteArray optionValue(const QString& value)
    {
        QByteArray v = value.toUtf8();
        v.replace('\\', "\\\\");
        v.replace('"', "\\\"");
        return '"' + v + '"';
    }

} // namespace

ClientDefaults::ClientDefaults(const QString& folder, const db::Connection::Options& account, const HostPort& server)
    : m_path(QDir(folder).filePath(QStringLiteral("client.cnf")))
{
    QByteArray text = "[client]\n";
    text += "user=" + optionValue(account.user) + '\n';
    text += "password=" + optionValue(account.password) + '\n';
    text += "host=" + optionValue(server.host) + '\n';
    text += "port=" + QByteArray::number(server.port > 0 ? server.port : 3306) + '\n';
    text += "protocol=tcp\n";
    if (account.tlsRequired) {
        text += "ssl\n";
        if (!account.tlsCaFile.isEmpty())
            text += "ssl-ca=" + optionValue(account.tlsCaFile) + '\n';
        if (account.tlsVerifyServer)
            text += "ssl-verify-server-cert\n";
    } else {
        // As the program's own connection: clear text unless encryption is required.
        text += "skip-ssl\n";
    }
    QFile file(m_path);
    // Created with owner-only rights: never readable by others, not even for a moment.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return;
    m_ok = file.write(text) == text.size() && file.flush();
}

ClientDefaults::~ClientDefaults() { QFile::remove(m_path); }

bool runTool(const QString& program, const QStringList& arguments, const QString& inputFile, const QString& outputFile,
    QString* error, const std::atomic_bool* cancel)
{
    QProcess process;
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    if (!inputFile.isEmpty())
        process.setStandardInputFile(inputFile);
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("%1 无法运行：%2").arg(program, process.errorString());
        return false;
    }
    while (!process.waitForFinished(100) && process.state() != QProcess::NotRunning) {
        if (cancel && cancel->load()) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(-1);
            }
            *error = QStringLiteral("%1 已停止：操作被取消").arg(program);
            return false;
        }
    }
    const QString stderrText = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 失败（退出码 %2）：%3").arg(program).arg(process.exitCode()).arg(stderrText.left(600));
        return false;
    }
    return true;
}

QString fileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

bool plainDatabaseName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return pattern.match(name).hasMatch();
}

bool databaseExists(const db::ConnectionPtr& connection, const QString& name, bool* exists, QString* error)
{
    if (!connection) {
        if (error)
            *error = QStringLiteral("没有连接数据库");
        return false;
    }
    const db::Reply reply = connection->run(
        db::Statement("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = ?").bind(name));
    qint64 count = 0;
    if (!reply.ok || !db::dbReadField(reply.rows, 0, count)) {
        if (error)
            *error = reply.error;
        return false;
    }
    *exists = count > 0;
    return true;
}

QString sqlName(const QString& name)
{
    return QLatin1Char('`') + QString(name).replace(QLatin1Char('`'), QStringLiteral("``")) + QLatin1Char('`');
}

bool readTableFacts(const db::ConnectionPtr& connection, const QString& database, QList<TableFacts>* facts,
    QString* error)
{
    facts->clear();
    if (!connection) {
        *error = QStringLiteral("没有连接数据库");
        return false;
    }
    auto failed = [&](const QString& what, const db::Reply& reply) {
        *error = QStringLiteral("%1：%2").arg(what, reply.error);
        return false;
    };
    const db::Reply names = connection->run(
        db::Statement("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? AND "
                      "TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME")
            .bind(database));
    if (!names.ok)
        return failed(QStringLiteral("读不到数据库 %1 的表").arg(database), names);
    while (names.rows && names.rows->next()) {
        TableFacts table;
        table.name = names.rows->text(0);
        facts->append(table);
    }
    for (TableFacts& table : *facts) {
        const QString name = sqlName(database) + QLatin1Char('.') + sqlName(table.name);
        const db::Reply count = connection->run(db::Statement("SELECT COUNT(*) FROM ?").bindSql(name));
        if (!count.ok || !db::dbReadField(count.rows, 0, table.rows))
            return failed(QStringLiteral("数不了表 %1 的行").arg(table.name), count);
        const db::Reply sum = connection->run(db::Statement("CHECKSUM TABLE ?").bindSql(name));
        if (!sum.ok || !db::dbReadField(sum.rows, 1, table.checksum))
            return failed(QStringLiteral("表 %1 的校验和算不出").arg(table.name), sum);
    }
    return true;
}

QString compareTableFacts(const QList<TableFacts>& original, const QList<TableFacts>& copy)
{
    for (const TableFacts& a : original) {
        auto b = std::find_if(copy.cbegin(), copy.cend(), [&](const TableFacts& t) { return t.name == a.name; });
        if (b == copy.cend())
            return QStringLiteral("表 %1 不在恢复出的数据库里").arg(a.name);
        if (b->rows != a.rows)
            return QStringLiteral("表 %1 的行数不同（原库 %2，恢复后 %3）").arg(a.name).arg(a.rows).arg(b->rows);
        if (b->checksum != a.checksum)
            return QStringLiteral("表 %1 的校验和不同（原库 %2，恢复后 %3）").arg(a.name, a.checksum, b->checksum);
    }
    for (const TableFacts& b : copy)
        if (std::none_of(original.cbegin(), original.cend(), [&](const TableFacts& t) { return t.name == b.name; }))
            return QStringLiteral("恢复出的数据库多出表 %1").arg(b.name);
    return {};
}

} // namespace fd::backup
