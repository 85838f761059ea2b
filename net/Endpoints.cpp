#include "net/Endpoints.h"

#include "common/Cipher.h"
#include "common/Settings.h"

#include <algorithm>

namespace fd::net {
namespace {

    // Letters and digits of any script (a host name may be internationalised), "." "-" "_"; an
    // IPv6 address: hexadecimal digits, ":" and "." (no zone: "%" has its own meaning in a URL).
    // Anything else ("/", "@", "#", "?") would change what the URL means.
    bool urlSafeHost(const QString& host)
    {
        if (host.contains(QLatin1Char(':')))
            return std::all_of(host.cbegin(), host.cend(), [](QChar c) {
                const char16_t u = c.unicode();
                return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F') || u == ':'
                    || u == '.';
            });
        return std::all_of(host.cbegin(), host.cend(), [](QChar c) {
            return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_');
        });
    }

} // namespace

QList<HostPort> serversOf(const QString& hostList, int port)
{
    QList<HostPort> servers;
    for (const HostPort& entry : parseHostList(hostList, 0)) {
        const HostPort server { entry.host, port };
        // The database entries may differ by port alone (several nodes on one machine): each
        // machine's FTP or web server is asked once.
        if (!entry.host.isEmpty() && urlSafeHost(entry.host) && !servers.contains(server))
            servers.append(server);
    }
    return servers;
}

QStringList webBasesOf(const QString& hostList, int port)
{
    QStringList bases;
    for (const HostPort& server : serversOf(hostList, port)) {
        QString base = QStringLiteral("http://") + urlHost(server.host);
        if (server.port > 0 && server.port != 80)
            base += QLatin1Char(':') + QString::number(server.port);
        bases.append(base);
    }
    return bases;
}

QStringList webUrls(const QStringList& bases, const QByteArray& name)
{
    const QString path = QLatin1Char('/') + QString::fromLatin1(name.toPercentEncoding());
    QStringList urls;
    for (const QString& base : bases)
        urls.append(base + path);
    return urls;
}

Endpoints endpointsOf(const Settings& s)
{
    Endpoints e;
    const QString dbHost = decipherSetting(s.dbHost, s.settingKeyA, s.xorMask);
    e.databaseHosts = dbHost;
    e.passwordDatabaseHosts = s.serverAddress;
    e.databasePort = s.dbPort;
    e.databaseUser = decipherSetting(s.dbUser, s.settingKeyB, s.xorMask);
    e.databasePassword = decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask);
    e.database.host = e.databaseHosts;
    e.database.port = e.databasePort;
    e.database.user = e.databaseUser;
    e.database.password = e.databasePassword;
    e.database.tlsRequired = s.dbTlsRequired;
    e.database.tlsVerifyServer = s.dbTlsVerifyServer;
    if (!s.dbTlsCaFile.isEmpty())
        e.database.tlsCaFile = s.tlsCaFilePath();
    e.passwordDatabase = e.database;
    e.passwordDatabase.host = e.passwordDatabaseHosts;

    e.ftp.hosts = serversOf(dbHost, s.ftpPort > 0 ? s.ftpPort : 21);
    e.ftp.user = decipherSetting(s.ftpUser, s.settingKeyA, s.xorMask);
    if (e.ftp.user.isEmpty())
        e.ftp.user = QStringLiteral("anonymous");
    e.ftp.password = decipherSetting(s.ftpPassword, s.settingKeyA, s.xorMask);

    e.webBases = webBasesOf(s.serverAddress, s.webPort > 0 ? s.webPort : 80);
    e.http.connectTimeoutSeconds = s.httpConnectTimeoutSeconds;
    e.http.totalTimeoutSeconds = s.httpTotalTimeoutSeconds;
    e.connectivityUrl = s.connectivityUrl;

    e.smsUrlTemplate = s.smsUrlTemplate;
    e.smsUser = decipherSetting(s.smsUser, s.settingKeyA, s.xorMask);
    e.smsPassword = decipherSetting(s.smsPassword, s.settingKeyA, s.xorMask);
    return e;
}

} // namespace fd::net
