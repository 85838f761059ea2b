#include "TestSupport.h"

#include "common/Cipher.h"

#include <QFile>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fd::test {

Settings stackSettings()
{
    Settings s;
    const QString path = qEnvironmentVariable("FLEETDESK_CONFIG");
    if (path.isEmpty() || !s.load(path))
        ADD_FAILURE() << "the local stack's settings are missing: FLEETDESK_CONFIG=" << path.toStdString();
    return s;
}

QString stackDir() { return qEnvironmentVariable("FD_STACK_DIR"); }
QString sourceDir() { return qEnvironmentVariable("FD_SOURCE_DIR"); }

int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(s);
    return ntohs(addr.sin_port);
}

db::ConnectionPtr connectStack(const QString& database)
{
    const Settings s = stackSettings();
    QString error;
    db::Connection::Options options;
    options.host = fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    options.user = fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask);
    options.password = fd::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask);
    options.database = database;
    options.port = s.dbPort;
    // The stack's servers speak TLS: the tests run encrypted as the program does.
    options.tlsRequired = s.dbTlsRequired;
    options.tlsCaFile = s.dbTlsCaFile;
    options.tlsVerifyServer = s.dbTlsVerifyServer;
    auto conn = db::dbConnect(options, &error);
    if (!conn)
        ADD_FAILURE() << "cannot connect to the local stack: " << error.toStdString();
    return conn;
}

void mustExecute(const db::ConnectionPtr& connection, const QString& sql)
{
    mustExecute(connection, db::Statement::verbatim(sql));
}

void mustExecute(const db::ConnectionPtr& connection, const db::Statement& statement)
{
    if (!db::dbExecute(connection, statement))
        ADD_FAILURE() << "statement failed: " << statement.renderOffline().left(300).toStdString() << "\n  "
                      << (connection ? connection->keptReply().error.toStdString() : std::string("no session"));
}

QString queryValue(const db::ConnectionPtr& connection, const QString& sql)
{
    return queryValue(connection, db::Statement::verbatim(sql));
}

QString queryValue(const db::ConnectionPtr& connection, const db::Statement& statement)
{
    if (!db::dbExecute(connection, statement)) {
        ADD_FAILURE() << "query failed: " << statement.renderOffline().toStdString() << "\n  "
                      << (connection ? connection->keptReply().error.toStdString() : std::string("no session"));
        return QStringLiteral("<failed>");
    }
    db::ResultPtr r = db::dbStoreResult(connection);
    if (!r || db::dbRowCount(r) == 0)
        return QStringLiteral("<none>");
    if (r->isNull(0))
        return QStringLiteral("<null>");
    QString v;
    db::dbReadField(r.get(), 0, v);
    return v;
}

db::ConnectionPtr freshDatabase(const QString& name)
{
    {
        auto server = connectStack();
        if (!server)
            return nullptr;
        mustExecute(server, QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
        mustExecute(server, QStringLiteral("CREATE DATABASE `%1` DEFAULT CHARACTER SET gbk").arg(name));
    }
    auto conn = connectStack(name);
    if (!conn)
        return nullptr;
    QFile file(sourceDir() + QStringLiteral("/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read db/schema.sql";
        return conn;
    }
    const QString schema = QString::fromUtf8(file.readAll());
    // The table definitions only: the file's own CREATE DATABASE and USE name the program's database.
    static const QRegularExpression comment(QStringLiteral("--[^\\n]*"));
    for (QString statement : QString(schema).remove(comment).split(QLatin1Char(';'))) {
        statement = statement.trimmed();
        if (statement.isEmpty() || statement.startsWith(QLatin1String("CREATE DATABASE"), Qt::CaseInsensitive)
            || statement.startsWith(QLatin1String("USE "), Qt::CaseInsensitive))
            continue;
        mustExecute(conn, statement);
    }
    // A session opened on the database, so that it reaches the same database when it is reopened,
    // and so does a session of another thread opened with its options.
    return connectStack(name);
}

} // namespace fd::test
