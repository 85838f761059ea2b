#pragma once

#include <QString>

namespace fd {

// The name of the program's database on every server.
inline const QString kDatabaseName = QStringLiteral("yunsugongsi");

// How to reach the database: built from the settings in one place (net/Endpoints), handed to
// db::Connection::open.
struct DatabaseOptions {
    // host: one server or several in order of preference ("db1:3306,db2:3307", see HostList.h).
    // Opening tries them in turn, each with the connect time-out.
    QString host, user, password;
    QString database = kDatabaseName;
    int port = 0; // for hosts without a port of their own; 0: 3306
    // Encryption: with tlsRequired a server that does not offer TLS is refused (never clear
    // text). The server's certificate is checked against tlsCaFile (PEM) and its address when
    // tlsVerifyServer is set.
    bool tlsRequired = false;
    QString tlsCaFile;
    bool tlsVerifyServer = true;
    // A statement after this much idleness first checks that the server still answers (a
    // statement that changes nothing, given aliveCheckMs to answer), and reopens the session with
    // the same settings when it does not: a server that vanished without closing its sessions
    // (power cut, frozen) costs that check, not the read time-out.
    int idleCheckSeconds = 2;
    int aliveCheckMs = 3000;
    int connectTimeoutSeconds = 10;
    // A server that stops answering in the middle of a statement fails it after this long instead
    // of freezing the window for good. When the server's machine is gone (no TCP
    // acknowledgements), keepalive probes end the wait after about deadPeerSeconds instead.
    int readTimeoutSeconds = 60;
    int deadPeerSeconds = 13;

    bool operator==(const DatabaseOptions&) const = default;
};

} // namespace fd
