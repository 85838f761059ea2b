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

} // namespace fd::accounts
