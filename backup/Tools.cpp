#include "backup/Tools.h"

#include "db/Legacy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace fd::backup {
namespace {

    // A value of an options file between double quotes: backslash and quote escaped.
    QByteArray quoted(const QString& value)
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
    text += "user=" + quoted(account.user) + '\n';
    text += "password=" + quoted(account.password) + '\n';
    text += "host=" + quoted(server.host) + '\n';
    text += "port=" + QByteArray::number(server.port > 0 ? server.port : 3306) + '\n';
    text += "protocol=tcp\n";
    if (account.tlsRequired) {
        text += "ssl\n";
        if (!account.tlsCaFile.isEmpty())
            text += "ssl-ca=" + quoted(account.tlsCaFile) + '\n';
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
    QString* error)
{
    QProcess process;
    if (!inputFile.isEmpty())
        process.setStandardInputFile(inputFile);
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("%1 无法运行：%2").arg(program, process.errorString());
        return false;
    }
    process.waitForFinished(-1);
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

bool databaseExists(const db::ConnectionPtr& connection, const QString& name, bool* exists)
{
    if (!db::dbExecute(connection,
            QStringLiteral("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '%1'")
                .arg(db::dbEscape(connection, name))))
        return false;
    db::ResultPtr result = db::dbStoreResult(connection);
    qint64 count = 0;
    if (!result || !db::dbReadField(result, 0, count))
        return false;
    *exists = count > 0;
    return true;
}

bool readTableFacts(const db::ConnectionPtr& connection, const QString& database, QList<TableFacts>* facts,
    QString* error)
{
    facts->clear();
    auto failed = [&](const QString& what) {
        *error = QStringLiteral("%1：%2").arg(what, db::dbLastError(connection));
        return false;
    };
    if (!db::dbExecute(connection,
            QStringLiteral("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '%1' AND "
                           "TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME")
                .arg(db::dbEscape(connection, database))))
        return failed(QStringLiteral("读不到数据库 %1 的表").arg(database));
    db::ResultPtr names = db::dbStoreResult(connection);
    for (; names && !names->atEnd(); names->skipRow()) {
        TableFacts table;
        db::dbReadField(names, 0, table.name);
        facts->append(table);
    }
    for (TableFacts& table : *facts) {
        const QString quotedName = QStringLiteral("`%1`.`%2`").arg(database, QString(table.name).replace(QLatin1Char('`'), QStringLiteral("``")));
        if (!db::dbExecute(connection, QStringLiteral("SELECT COUNT(*) FROM ") + quotedName))
            return failed(QStringLiteral("数不了表 %1 的行").arg(table.name));
        db::ResultPtr count = db::dbStoreResult(connection);
        if (!count || !db::dbReadField(count, 0, table.rows))
            return failed(QStringLiteral("数不了表 %1 的行").arg(table.name));
        if (!db::dbExecute(connection, QStringLiteral("CHECKSUM TABLE ") + quotedName))
            return failed(QStringLiteral("表 %1 的校验和算不出").arg(table.name));
        db::ResultPtr sum = db::dbStoreResult(connection);
        if (!sum || !db::dbReadField(sum, 1, table.checksum))
            return failed(QStringLiteral("表 %1 的校验和算不出").arg(table.name));
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
