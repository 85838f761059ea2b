#include "accounts/Accounts.h"

#include "common/Settings.h"
#include "db/Cipher.h"
#include "db/Database.h"
#include "net/Http.h"

namespace fd::accounts {

bool isOnline(const Settings& settings)
{
    net::HttpOptions options;
    options.connectTimeoutSeconds = settings.httpConnectTimeoutSeconds;
    options.totalTimeoutSeconds = settings.httpTotalTimeoutSeconds;
    return net::isOnline(settings.connectivityUrl, options);
}

db::ConnectionPtr connectForLogin(const Settings& settings)
{
    return db::dbConnect(db::decipherSetting(settings.dbHost, settings.settingKeyA, settings.xorMask),
        db::decipherSetting(settings.dbUser, settings.settingKeyB, settings.xorMask),
        db::decipherSetting(settings.dbPassword, settings.settingKeyB, settings.xorMask), kDatabase, settings.dbPort);
}

db::ConnectionPtr connectForPasswordChange(const Settings& settings)
{
    return db::dbConnect(settings.serverAddress,
        db::decipherSetting(settings.dbUser, settings.settingKeyB, settings.xorMask),
        db::decipherSetting(settings.dbPassword, settings.settingKeyB, settings.xorMask), kDatabase, settings.dbPort);
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
