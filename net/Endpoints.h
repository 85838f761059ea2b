#pragma once

#include "net/Ftp.h"
#include "common/DatabaseOptions.h"
#include "common/HostList.h"
#include "net/Http.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace fd {
struct Settings;
}

namespace fd::net {

// Where the program's servers are and how long to wait for them, as the settings say: the one
// place that reads the addresses, ports, accounts and time-outs from the settings. Built afresh
// for each use (the enciphered values are deciphered here and live no longer than the copy).
struct Endpoints {
    // The database servers: the deciphered dbHost list (see HostList.h) for the login, the plain
    // serverAddress list for the password window; entries without a port take dbPort.
    QString databaseHosts;
    QString passwordDatabaseHosts;
    int databasePort = 0;
    QString databaseUser;
    QString databasePassword;
    // Every option of a session on the login's servers (database, account, TLS), and the same on
    // the password window's servers.
    DatabaseOptions database;
    DatabaseOptions passwordDatabase;

    // The FTP servers: the host of each dbHost entry, in order, each with ftpPort; the deciphered
    // FTP account. The connect time-out stays FtpConnection's own: it covers the login too, which
    // servers slow down by seconds after a wrong password.
    FtpConnection::Options ftp;

    // The web servers' base addresses ("http://host[:port]", no "/" at the end): the host of each
    // serverAddress entry, in order, each with webPort. They serve the folder the FTP servers fill.
    QStringList webBases;
    // Time-outs of every web request: pictures, the connectivity test, the SMS platform.
    HttpOptions http;
    QString connectivityUrl;

    // The SMS platform: its URL template (six pieces, see sms/SmsClient.h).
    QString smsUrlTemplate;
    // The deciphered account of the unattended reminder run; empty when the settings hold none.
    QString smsUser;
    QString smsPassword;
};

Endpoints endpointsOf(const Settings& settings);

// The host of each entry of a host list, in order, each with the given port, each server once. An
// entry the list leaves out (see parseHostList), or whose host could not stand in a URL, is left
// out; an empty list gives none.
QList<HostPort> serversOf(const QString& hostList, int port);
// "http://host" (":port" unless 80; an IPv6 host in brackets) for each server of the list.
QStringList webBasesOf(const QString& hostList, int port);
// The same file on each web server: base, "/", every byte of the name outside the unreserved set
// percent-encoded ("/" included: a name is never a path).
QStringList webUrls(const QStringList& bases, const QByteArray& name);

} // namespace fd::net
