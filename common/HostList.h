#pragma once

#include <QList>
#include <QString>

namespace fd {

// One server of a host list.
struct HostPort {
    QString host;
    int port = 0; // 0: the default of whatever reads the list (the database client: 3306)
    bool operator==(const HostPort&) const = default;
};

// The servers named by one host setting, in order of preference. Entries are separated by commas,
// semicolons or white space; each is "host", "host:port", "[IPv6]" or "[IPv6]:port" (a bare IPv6
// address takes the default port). An entry without a port takes defaultPort. An empty setting
// gives one entry with an empty host, which the database client reads as its own default. An entry
// with a port that is not a number from 1 to 65535 cannot be reached and is left out; so a setting
// made only of such entries gives an empty list.
QList<HostPort> parseHostList(const QString& text, int defaultPort);

// The host as it goes into a URL or a "host:port" text: an IPv6 address in brackets.
QString urlHost(const QString& host);

} // namespace fd
