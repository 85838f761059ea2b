#include "accounts/Accounts.h"

#include "common/Settings.h"
#include "db/Database.h"
#include "net/Endpoints.h"

namespace fd::accounts {

bool isOnline(const Settings& settings)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    return net::isOnline(servers.connectivityUrl, servers.http);
}

db::ConnectionPtr connectForLogin(const Settings& settings, db::ConnectFailure* failure)
{
    return db::dbConnect(net::endpointsOf(settings).database, nullptr, failure);
}

db::ConnectionPtr connectForPasswordChange(const Settings& settings, db::ConnectFailure* failure)
{
    return db::dbConnect(net::endpointsOf(settings).passwordDatabase, nullptr, failure);
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

db::Statement credentialCountStatement(const QString& userName, const QString& password)
{
    // No space between the closing quote and "and": the text the server gets stays the program's own.
    return db::Statement("select count(*) as suliang from mimabiao where yonghuming=?and mima=?")
        .bind(userName)
        .bind(password);
}

CredentialCount countCredentials(const db::ConnectionPtr& connection, const QString& userName, const QString& password)
{
    CredentialCount result;
    if (!db::dbExecute(connection, credentialCountStatement(userName, password)))
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
    return db::dbUpdate(connection, QStringLiteral("mimabiao"), db::Statement("mima=?").bind(newPassword),
        db::Statement("yonghuming=?").bind(userName));
}

} // namespace fd::accounts
