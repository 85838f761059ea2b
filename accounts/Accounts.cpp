#include "accounts/Accounts.h"

#include "common/Settings.h"
#include "db/Legacy.h"
#include "net/Endpoints.h"

namespace fd::accounts {

bool isOnline(const Settings& settings)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    return net::isOnline(servers.connectivityUrl, servers.http);
}

db::Connection::Options connectionOptions(const Settings& settings, const QString& hosts)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    db::Connection::Options options;
    options.host = hosts;
    options.port = servers.databasePort;
    options.user = servers.databaseUser;
    options.password = servers.databasePassword;
    options.database = kDatabase;
    options.tlsRequired = settings.dbTlsRequired;
    options.tlsVerifyServer = settings.dbTlsVerifyServer;
    if (!settings.dbTlsCaFile.isEmpty())
        options.tlsCaFile = settings.tlsCaFilePath();
    return options;
}

db::ConnectionPtr connectForLogin(const Settings& settings, db::ConnectFailure* failure)
{
    return db::dbConnect(connectionOptions(settings, net::endpointsOf(settings).databaseHosts), nullptr, failure);
}

db::ConnectionPtr connectForPasswordChange(const Settings& settings, db::ConnectFailure* failure)
{
    return db::dbConnect(connectionOptions(settings, net::endpointsOf(settings).passwordDatabaseHosts), nullptr, failure);
}

QString tlsFailureText(db::ConnectFailure failure)
{
    switch (failure) {
    case db::ConnectFailure::NoTls:
        return QStringLiteral("数据库服务器不支持加密连接，为保护密码和数据，已拒绝以明文连接！");
    case db::ConnectFailure::Certificate:
        return QStringLiteral("数据库服务器的证书验证失败，可能不是本公司的服务器，已拒绝连接！");
    default:
        return QString();
    }
}

QString credentialCountSql(const db::ConnectionPtr& connection, const QString& userName, const QString& password)
{
    return QStringLiteral("select count(*) as suliang from mimabiao where yonghuming='")
        + db::dbEscape(connection, userName) + QStringLiteral("'and mima='") + db::dbEscape(connection, password)
        + QStringLiteral("'");
}

CredentialCount countCredentials(const db::ConnectionPtr& connection, const QString& userName, const QString& password)
{
    CredentialCount result;
    if (!db::dbExecute(connection, credentialCountSql(connection, userName, password)))
        return result;
    db::ResultPtr rows = db::dbStoreResult(connection);
    qint32 count = 0;
    const bool read = db::dbReadField(rows, "suliang", count);
    db::dbFreeResult(rows);
    result.outcome = read ? CredentialCount::Counted : CredentialCount::ReadFailed;
    result.count = read ? count : 0;
    return result;
}

bool changePassword(const db::ConnectionPtr& connection, const QString& userName, const QString& newPassword)
{
    return db::dbUpdate(connection, QStringLiteral("mimabiao"),
        QStringLiteral("mima=") + db::dbQuote(connection, newPassword),
        QStringLiteral("yonghuming=") + db::dbQuote(connection, userName));
}

} // namespace fd::accounts
