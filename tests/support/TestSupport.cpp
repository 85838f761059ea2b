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

namespace {

    db::ConnectionPtr connectAs(const QString& user, const QString& password, const QString& database)
    {
        const Settings s = stackSettings();
        QString error;
        db::Connection::Options options;
        options.host = fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
        options.user = user;
        options.password = password;
        options.database = database;
        options.port = s.dbPort;
        // The stack's servers speak TLS: the tests run encrypted as the program does.
        options.tlsRequired = s.dbTlsRequired;
        options.tlsCaFile = s.dbTlsCaFile;
        options.tlsVerifyServer = s.dbTlsVerifyServer;
        auto conn = db::dbConnect(options, &error);
        if (!conn)
            ADD_FAILURE() << "cannot connect to the local stack as " << user.toStdString() << ": " << error.toStdString();
        return conn;
    }

} // namespace

db::ConnectionPtr connectStack(const QString& database)
{
    const Settings s = stackSettings();
    return connectAs(fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask),
        fd::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask), database);
}

db::ConnectionPtr connectAdmin(const QString& database)
{
    const QString user = qEnvironmentVariable("FD_ADMIN_DB_USER", QStringLiteral("root"));
    return connectAs(user, qEnvironmentVariable("FD_ADMIN_DB_PASSWORD"), database);
}

db::ConnectionPtr adminBeside(const db::ConnectionPtr& session)
{
    const QString database = queryValue(session, QStringLiteral("SELECT DATABASE()"));
    if (database.startsWith(QLatin1Char('<'))) {
        ADD_FAILURE() << "the session uses no database";
        return nullptr;
    }
    return connectAdmin(database);
}

QStringList programGrants(const QString& database, const QString& account)
{
    QFile file(sourceDir() + QStringLiteral("/db/grants.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read db/grants.sql";
        return {};
    }
    static const QRegularExpression comment(QStringLiteral("--[^\\n]*"));
    QStringList grants;
    for (QString statement : QString::fromUtf8(file.readAll()).remove(comment).split(QLatin1Char(';'))) {
        statement = statement.simplified();
        // The grants on the program's database only: the file's first lines take away what the
        // account has elsewhere, which on the test server includes the other test databases.
        if (statement.startsWith(QLatin1String("GRANT "), Qt::CaseInsensitive)
            && statement.contains(QLatin1String("@program@")) && statement.contains(QLatin1String("@database@")))
            grants << statement.replace(QLatin1String("@database@"), database).replace(QLatin1String("@program@"), account);
    }
    if (grants.isEmpty())
        ADD_FAILURE() << "db/grants.sql gives the program's account nothing on its database";
    return grants;
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

QStringList programAccounts(const db::ConnectionPtr& admin)
{
    const Settings s = stackSettings();
    const db::Reply accounts = admin->run(db::Statement("SELECT CONCAT(QUOTE(User), '@', QUOTE(Host)) FROM mysql.user WHERE User = ?")
                                              .bind(fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask)));
    QStringList names;
    while (accounts.rows && accounts.rows->next())
        names << accounts.rows->text(0);
    if (names.isEmpty())
        ADD_FAILURE() << "the program's account is missing on the stack: " << accounts.error.toStdString();
    return names;
}

void grantProgramAccount(const db::ConnectionPtr& admin, const QString& database)
{
    for (const QString& account : programAccounts(admin))
        for (const QString& grant : programGrants(database, account))
            mustExecute(admin, grant);
}

db::ConnectionPtr freshDatabase(const QString& name)
{
    auto admin = connectAdmin();
    if (!admin)
        return nullptr;
    mustExecute(admin, QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
    mustExecute(admin, QStringLiteral("CREATE DATABASE `%1` DEFAULT CHARACTER SET gbk").arg(name));
    grantProgramAccount(admin, name);
    mustExecute(admin, QStringLiteral("USE `%1`").arg(name));
    QFile file(sourceDir() + QStringLiteral("/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read db/schema.sql";
        return connectStack(name);
    }
    const QString schema = QString::fromUtf8(file.readAll());
    // The table definitions only: the file's own CREATE DATABASE and USE name the program's database.
    static const QRegularExpression comment(QStringLiteral("--[^\\n]*"));
    for (QString statement : QString(schema).remove(comment).split(QLatin1Char(';'))) {
        statement = statement.trimmed();
        if (statement.isEmpty() || statement.startsWith(QLatin1String("CREATE DATABASE"), Qt::CaseInsensitive)
            || statement.startsWith(QLatin1String("USE "), Qt::CaseInsensitive))
            continue;
        mustExecute(admin, statement);
    }
    // A session of the program's account opened on the database, so that it reaches the same
    // database when it is reopened, and so does a session of another thread opened with its options.
    return connectStack(name);
}

} // namespace fd::test
