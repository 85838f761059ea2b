#include "reminders/ReminderSetup.h"

#include "net/Endpoints.h"

namespace fd::reminders {

db::Connection::Options databaseOptions(const Settings& settings)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    db::Connection::Options options;
    options.host = servers.databaseHosts;
    options.port = servers.databasePort;
    options.user = servers.databaseUser;
    options.password = servers.databasePassword;
    options.database = QStringLiteral("yunsugongsi");
    options.tlsRequired = settings.dbTlsRequired;
    options.tlsVerifyServer = settings.dbTlsVerifyServer;
    if (!settings.dbTlsCaFile.isEmpty())
        options.tlsCaFile = settings.tlsCaFilePath();
    return options;
}

SmsAccount smsAccountOf(const Settings& settings)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    SmsAccount account;
    account.platform.pieces = sms::smsSplitTemplate(servers.smsUrlTemplate);
    account.platform.http = servers.http;
    account.user = servers.smsUser;
    account.password = servers.smsPassword;
    return account;
}

} // namespace fd::reminders
