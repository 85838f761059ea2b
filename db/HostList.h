#pragma once

#include <QList>
#include <QString>

namespace fd::db {

// One database server of a host list.
struct HostPort {
    QString host;
    int port = 0; // 0: the client library's default, 3306
    bool operator==(const HostPort&) const = default;
};

// The servers named by one host setting, in order of preference. Entries are separated by commas,
// semicolons or white space; each is "host", "host:port", "[IPv6]" or "[IPv6]:port" (a bare IPv6
// address takes the default port). An entry without a port takes defaultPort. An empty setting
// gives one entry with an empty host, which the client library reads as its own default. An entry
// with a port that is not a number from 1 to 65535 cannot be reached and is left out; so a setting
// made only of such entries gives an empty list.
QList<HostPort> parseHostList(const QString& text, int defaultPort);

// "host:port" for messages ("[::1]:3306" for an IPv6 address).
QString hostPortText(const HostPort& hostPort);

} // namespace fd::db
